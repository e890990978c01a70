#pragma once
// Host configuration entry points.

#include "host/data/IndexUserConfig.h"
#include "host/data/UserConfig.h"

#include <QString>

namespace TC {

struct CConfig {
    bool conciseStyle = false;
    int clientType = 0; // 3: the lightweight client
};

CConfig* getConfig();
CUserConfig* getUserConfig();
// A writable folder: $TT_USER_DIR when set, else the user's application data folder.
// Created on first use.
QString getDataDir();

} // namespace TC
