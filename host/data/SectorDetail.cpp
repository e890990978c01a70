#include "host/data/SectorDetail.h"

namespace TC {

QString getSectorTypeName(int type)
{
    switch (type) {
    case eSectorSystem: return QStringLiteral("系统板块");
    case eSectorUserGroup: return QStringLiteral("我的");
    case eSectorUser: return QStringLiteral("自选板块");
    case eSectorCustomIndex: return QStringLiteral("自定义指数");
    case eSectorIndustry: return QStringLiteral("申万一级行业板块");
    case eSectorIndexMembers: return QStringLiteral("指数成分");
    case eSectorPosition: return QStringLiteral("持仓");
    case eSectorExternal: return QStringLiteral("外部数据");
    case eSectorTBoard: return QStringLiteral("T型报价板");
    case eSectorHKIndustry: return QStringLiteral("港股行业板块");
    default: return QString();
    }
}

CSectorDetail::CSectorDetail(const QString& name, int type, CSectorDetail* parent)
    : m_qsName(name), m_nType(type), m_pParent(parent)
{
    if (parent)
        parent->m_children.append(this);
}

CSectorDetail::~CSectorDetail()
{
    qDeleteAll(m_children);
}

CSectorDetail* CSectorDetail::getChild(const QString& name) const
{
    for (CSectorDetail* c : m_children)
        if (c->m_qsName == name)
            return c;
    return nullptr;
}

} // namespace TC
