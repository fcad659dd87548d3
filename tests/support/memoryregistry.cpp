#include "support/memoryregistry.h"

namespace sonorel::test {

using namespace platform;

template <class Change> bool MemoryRegistryStore::modify(Change change) {
    std::lock_guard guard(m_mutex);
    RegistryTree changed = m_tree;
    if (!change(changed))
        return true;
    if (failWrites)
        return false;
    m_tree = std::move(changed);
    return true;
}

bool MemoryRegistryStore::createKey(RegistryRoot root, const QString& key) {
    return modify([&](RegistryTree& tree) { return tree.createKey(root, key); });
}

bool MemoryRegistryStore::keyExists(RegistryRoot root, const QString& key) const {
    std::lock_guard guard(m_mutex);
    return m_tree.keyExists(root, key);
}

std::optional<std::uint32_t> MemoryRegistryStore::dword(RegistryRoot root, const QString& key,
                                                        const QString& name) const {
    std::lock_guard guard(m_mutex);
    return m_tree.dword(root, key, name);
}

std::optional<QString> MemoryRegistryStore::string(RegistryRoot root, const QString& key,
                                                   const QString& name) const {
    std::lock_guard guard(m_mutex);
    return m_tree.string(root, key, name);
}

bool MemoryRegistryStore::setDword(RegistryRoot root, const QString& key, const QString& name,
                                   std::uint32_t value) {
    return modify([&](RegistryTree& tree) { return tree.setValue(root, key, name, value); });
}

bool MemoryRegistryStore::setString(RegistryRoot root, const QString& key, const QString& name,
                                    const QString& value) {
    return modify([&](RegistryTree& tree) { return tree.setValue(root, key, name, value); });
}

bool MemoryRegistryStore::deleteValue(RegistryRoot root, const QString& key, const QString& name) {
    return modify([&](RegistryTree& tree) { return tree.deleteValue(root, key, name); });
}

} // namespace sonorel::test
