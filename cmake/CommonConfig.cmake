# Flags every target of the project shares. Installed with the package for its include
# folder and language level only: the warnings and definitions below are the project's
# own choices and stay out of a consumer's build (its code may well use `emit`).
add_library(tt_common INTERFACE)
target_compile_features(tt_common INTERFACE cxx_std_17)
target_compile_options(tt_common INTERFACE
  $<BUILD_INTERFACE:-Wall> $<BUILD_INTERFACE:-Wextra> $<BUILD_INTERFACE:-Wno-unused-parameter>)
# QT_NO_KEYWORDS: boost::signals2 uses 'signals' as an identifier; the installed headers
# therefore spell Q_SIGNALS, Q_SLOTS and Q_EMIT
target_compile_definitions(tt_common INTERFACE
  $<BUILD_INTERFACE:QT_NO_KEYWORDS> $<BUILD_INTERFACE:QT_USE_QSTRINGBUILDER>
  $<BUILD_INTERFACE:QT_DEPRECATED_WARNINGS> $<BUILD_INTERFACE:BOOST_BIND_GLOBAL_PLACEHOLDERS>)
target_include_directories(tt_common INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/ttbrowse>)

if(TT_SANITIZE)
  target_compile_options(tt_common INTERFACE $<BUILD_INTERFACE:-fsanitize=${TT_SANITIZE}>
    $<BUILD_INTERFACE:-fno-omit-frame-pointer>)
  target_link_options(tt_common INTERFACE $<BUILD_INTERFACE:-fsanitize=${TT_SANITIZE}>)
  if(TT_SANITIZE MATCHES "undefined")
    target_compile_options(tt_common INTERFACE $<BUILD_INTERFACE:-fno-sanitize-recover=undefined>)
  endif()
endif()

# Precompiled Qt headers: each library builds its own; tests reuse one.
set(TT_PCH_CORE <QtCore/QString> <QtCore/QVector> <QtCore/QList> <QtCore/QMap> <QtCore/QHash>
    <QtCore/QObject> <QtCore/QVariant> <QtCore/QStringList> <vector> <map> <memory> <string>)
set(TT_PCH_WIDGETS ${TT_PCH_CORE} <QtGui/QColor> <QtGui/QFont> <QtGui/QPainter> <QtWidgets/QWidget>
    <QtWidgets/QTableView> <QtWidgets/QHeaderView> <QtWidgets/QMenu>)

function(tt_library name kind)
  add_library(${name} ${kind} ${ARGN})
  target_link_libraries(${name} PUBLIC tt_common)
  set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION 0)
endfunction()
