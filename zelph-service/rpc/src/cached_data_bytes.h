// cached_data_bytes.h
//
// What the data of a project's cache holds, as a reply would count it: the bytes that go
// when a client removes the project or its session, or the session expires, which the
// service notes with its reply budget (ReplyBudget::NoteFreed) so that their memory goes back
// to the system as that of drained replies does.
#pragma once

#include <cstdint>

namespace zelph {
class Project;
class Session;
}  // namespace zelph

namespace zelph::rpc {

// The sum of AnyDataBytesBound over the entries of the project's cache. Takes no project
// lock; entries stored meanwhile may or may not count.
std::uint64_t CachedDataBytes(const zelph::Project& project);
// The same over every project of the session.
std::uint64_t CachedDataBytes(zelph::Session& session);

}  // namespace zelph::rpc
