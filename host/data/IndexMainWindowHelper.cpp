#include "host/data/IndexMainWindowHelper.h"

namespace TC {

CIndexMainWindowHelper* CIndexMainWindowHelper::inst()
{
    static CIndexMainWindowHelper helper;
    return &helper;
}

void CIndexMainWindowHelper::showContrastSector(const QString& code)
{
    if (code.isEmpty())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_contrastRequests.append(code);
    }
    Q_EMIT sigContrastSector(code);
}

QStringList CIndexMainWindowHelper::contrastRequests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_contrastRequests;
}

void CIndexMainWindowHelper::handleText(const QString& text)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_textRequests.append(text);
    }
    Q_EMIT sigText(text);
}

QStringList CIndexMainWindowHelper::textRequests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_textRequests;
}

void CIndexMainWindowHelper::clearRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_contrastRequests.clear();
    m_textRequests.clear();
}

} // namespace TC
