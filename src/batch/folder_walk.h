// The walk order of both programs, once: depth first, a sub-folder walked as
// soon as its parent's listing meets it, and a folder's own sources worked
// on after everything beneath it, the last found first, once its listing is
// over (so no file the walk writes into a folder is met by that folder's
// listing). What each entry becomes is DecideWalkedEntry's (input_rules.h).
#pragma once

#include <utility>
#include <vector>

#include "batch/input_rules.h"

namespace zorv {

// Walks folder with host, which lists and receives:
//   using Entry = ...;  a found entry's path and what the host keeps of it;
//   ResultCode List(const Entry& folder, Each each): calls
//       each(Entry entry, const char* name, const EntryFacts& facts) for
//       every entry but "." and "..", in the order to walk them; returns
//       kResultOk, kPassOver, or the code that refuses the folder;
//   void Enter(const Entry& folder), void Leave(): around the walk of each
//       folder, folder itself included (the host's chain of folders);
//   void Refuse(const Entry& entry, ResultCode code): a line;
//   void Leftover(const Entry& entry): a leftover, as the listing meets it;
//   void Listed(const std::vector<Entry>& leftovers): a folder's listing is
//       over; its leftovers in the order found, before its sources;
//   void Work(const Entry& entry): a source.
template <class Host>
void WalkFolderTree(const InputRules& rules, Host& host, const typename Host::Entry& folder) {
    using Entry = typename Host::Entry;
    std::vector<Entry> leftovers;
    std::vector<Entry> sources;
    host.Enter(folder);
    const ResultCode listed =
        host.List(folder, [&](Entry entry, const char* name, const EntryFacts& facts) {
            const Decision decision = DecideWalkedEntry(rules, name, facts);
            switch (decision.verdict) {
                case Verdict::kRefuse:
                    host.Refuse(entry, decision.code);
                    break;
                case Verdict::kWalk:
                    WalkFolderTree(rules, host, entry);
                    break;
                case Verdict::kLeftover:
                    host.Leftover(entry);
                    leftovers.push_back(std::move(entry));
                    break;
                case Verdict::kWork:
                    sources.push_back(std::move(entry));
                    break;
                case Verdict::kSilent:
                    break;
            }
        });
    if (listed != kResultOk) {
        if (listed != kPassOver) {
            host.Refuse(folder, listed);
        }
    } else {
        host.Listed(leftovers);
        for (auto it = sources.rbegin(); it != sources.rend(); ++it) {
            host.Work(*it);
        }
    }
    host.Leave();
}

}  // namespace zorv
