#pragma once

#include "production/ledger/SqlSession.h"

#include <memory>
#include <string>

// Opens a session on a ledger server. The PostgreSQL client lives in a module of its own,
// loaded only when a server is used, so that every other command starts without it.
// Throws SqlError (connectionLost) when the server cannot be reached, or when the module is
// missing.
std::unique_ptr<SqlSession> OpenServerSession(const std::string& connection);

// The name the module exports its factory under.
inline constexpr const char* kServerSessionFactory = "PagerLedgerOpenServerSession";
using ServerSessionFactory = void (*)(const std::string& connection,
                                      std::unique_ptr<SqlSession>& session);
