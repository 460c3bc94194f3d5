#include "about/VersionInfo.h"

#include <stdexcept>

void ReadVersionInfo(const QString&, TEXEVersionData&) {
    throw std::runtime_error("no version block in this build");
}
