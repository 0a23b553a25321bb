#include "production/ledger/ServerSessions.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

// Where the module is: PAGER_LEDGER_MODULE when set, then where the package installs it, then
// where the build made it.
std::vector<std::string> ModuleCandidates() {
    std::vector<std::string> candidates;
    if (const char* chosen = std::getenv("PAGER_LEDGER_MODULE"); chosen && *chosen) {
        candidates.emplace_back(chosen);
    }
    candidates.emplace_back(PAGER_LEDGER_MODULE_INSTALLED);
    candidates.emplace_back(PAGER_LEDGER_MODULE_BUILT);
    return candidates;
}

ServerSessionFactory LoadFactory() {
    static std::mutex mutex;
    static ServerSessionFactory factory = nullptr;
    std::lock_guard lock(mutex);
    if (factory != nullptr) {
        return factory;
    }
    std::string reasons;
    for (const std::string& path : ModuleCandidates()) {
        // Loaded once for the program's life; never closed.
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = dlerror();
            reasons += std::string("\n  ") + (why ? why : path);
            continue;
        }
        factory = reinterpret_cast<ServerSessionFactory>(dlsym(module, kServerSessionFactory));
        if (factory != nullptr) {
            return factory;
        }
    }
    throw SqlError("this pager-cradle cannot reach ledger servers: its PostgreSQL module could "
                   "not be loaded (reinstall the package, or set PAGER_LEDGER_MODULE):" +
                       reasons,
                   false, true);
}

} // namespace

std::unique_ptr<SqlSession> OpenServerSession(const std::string& connection) {
    std::unique_ptr<SqlSession> session;
    LoadFactory()(connection, session);
    return session;
}
