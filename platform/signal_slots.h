#pragma once

// The list of temporary files a signal handler removes, written once for both systems: a
// fixed table of slots touched only through lock-free atomics, so the handler (a signal on
// POSIX systems, a console event's thread on Windows) may read it at any moment. Each system
// keeps the names as it removes them (char, or wchar_t). Internal to platform/.

#include <atomic>
#include <cstddef>
#include <string_view>

namespace tarnwick::platform {

template <class Char> class SignalSlots {
public:
    static constexpr int kSlots = 8;
    static constexpr std::size_t kPathRoom = 4096;

    /// Lists `path`: its slot, or -1 when every slot is taken or the path is too long.
    int add(std::basic_string_view<Char> path) {
        if (path.size() >= kPathRoom)
            return -1;
        for (int i = 0; i < kSlots; ++i) {
            bool expected = false;
            if (m_slots[i].used.compare_exchange_strong(expected, true)) {
                path.copy(m_slots[i].path, path.size());
                m_slots[i].path[path.size()] = Char{};
                m_slots[i].ready.store(true);
                return i;
            }
        }
        return -1;
    }

    /// Takes `slot` off the list.
    void forget(int slot) {
        if (slot < 0 || slot >= kSlots)
            return;
        m_slots[slot].ready.store(false);
        m_slots[slot].used.store(false);
    }

    /// From the handler: calls remove(path) for every listed file, each once however many
    /// handlers run. Returns whether there was any.
    template <class Remove> bool removeAll(Remove&& remove) {
        bool removed = false;
        for (Slot& slot : m_slots)
            if (slot.ready.exchange(false)) {
                remove(static_cast<const Char*>(slot.path));
                removed = true;
            }
        return removed;
    }

private:
    static_assert(std::atomic<bool>::is_always_lock_free, "the handler may only touch these");
    struct Slot {
        std::atomic<bool> used{false};
        std::atomic<bool> ready{false}; ///< the path is complete and may be removed
        Char path[kPathRoom];
    };
    Slot m_slots[kSlots];
};

} // namespace tarnwick::platform
