#include "support/FileRoute.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Route {
    int Id;
    QString Path;
    FileRoute::Maker Make;
};

// The routes of the test program; the decoder asks from its own threads.
struct Routes {
    std::mutex Mutex;
    std::vector<Route> Living;
    int NextId = 0;
};

Routes& AllRoutes() {
    static Routes routes;
    return routes;
}

} // namespace

FileRoute::FileRoute(const QString& path, Maker make) {
    Routes& routes = AllRoutes();
    std::lock_guard lock(routes.Mutex);
    m_id = routes.NextId++;
    routes.Living.push_back(Route{m_id, path, std::move(make)});
}

FileRoute::~FileRoute() {
    Routes& routes = AllRoutes();
    std::lock_guard lock(routes.Mutex);
    std::erase_if(routes.Living, [this](const Route& route) { return route.Id == m_id; });
}

std::unique_ptr<ChannelSource> RoutedFileSource(const QString& path) {
    FileRoute::Maker make;
    {
        Routes& routes = AllRoutes();
        std::lock_guard lock(routes.Mutex);
        const auto newest =
            std::find_if(routes.Living.rbegin(), routes.Living.rend(),
                         [&path](const Route& route) { return route.Path == path; });
        if (newest == routes.Living.rend())
            return nullptr;
        make = newest->Make;
    }
    // Made outside the lock: a maker may open other files.
    return make();
}
