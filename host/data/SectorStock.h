#pragma once

#include <QString>

namespace se {
// One constituent of an index with its weight in percent (1.23 for 1.23 %).
struct RPCSectorStock {
    QString market;
    QString code;
    float weight = 0.0f;
};
} // namespace se
