#pragma once
// A small persistent key/value store with the roots, key paths, value names and
// DWORD/string types of the settings the program keeps outside its record files
// (the first-run marker, the wave-output handshake). Key paths and value names
// compare without regard to letter case; a trailing "\" on a key is ignored.
// Every member may be called from any thread.

#include <cstdint>
#include <optional>
#include <QString>

namespace sonorel::platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

class RegistryStore {
public:
    virtual ~RegistryStore() = default;

    // Creates the key (and its parents) when missing; false when the store
    // cannot be written.
    virtual bool createKey(RegistryRoot root, const QString& key) = 0;
    virtual bool keyExists(RegistryRoot root, const QString& key) const = 0;

    // Nothing when the key or value is missing or holds the other type.
    virtual std::optional<std::uint32_t> dword(RegistryRoot root, const QString& key,
                                               const QString& name) const = 0;
    virtual std::optional<QString> string(RegistryRoot root, const QString& key,
                                          const QString& name) const = 0;

    // Creates the key when missing. False when the store cannot be written; the
    // stored value is then the previous one.
    virtual bool setDword(RegistryRoot root, const QString& key, const QString& name,
                          std::uint32_t value) = 0;
    virtual bool setString(RegistryRoot root, const QString& key, const QString& name,
                           const QString& value) = 0;
    virtual bool deleteValue(RegistryRoot root, const QString& key, const QString& name) = 0;
};

} // namespace sonorel::platform
