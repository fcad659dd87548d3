#pragma once
// A registry store that lives only in memory, with the semantics of the file
// store (it shares its tree).

#include "platform/registrystore.h"
#include "platform/registrytree.h"

#include <atomic>
#include <mutex>

namespace sonorel::test {

class MemoryRegistryStore final : public platform::RegistryStore {
public:
    // While set, the store behaves as one that cannot be written: every call that
    // would change it returns false and changes nothing.
    std::atomic<bool> failWrites = false;

    bool createKey(platform::RegistryRoot root, const QString& key) override;
    bool keyExists(platform::RegistryRoot root, const QString& key) const override;
    std::optional<std::uint32_t> dword(platform::RegistryRoot root, const QString& key,
                                       const QString& name) const override;
    std::optional<QString> string(platform::RegistryRoot root, const QString& key,
                                  const QString& name) const override;
    bool setDword(platform::RegistryRoot root, const QString& key, const QString& name,
                  std::uint32_t value) override;
    bool setString(platform::RegistryRoot root, const QString& key, const QString& name,
                   const QString& value) override;
    bool deleteValue(platform::RegistryRoot root, const QString& key, const QString& name) override;

private:
    template <class Change> bool modify(Change change);

    mutable std::mutex m_mutex;
    platform::RegistryTree m_tree;
};

} // namespace sonorel::test
