#pragma once
// The registry store of the program: one human-readable JSON file (see
// RegistryTree::toJson), normally LinuxProgramFolder::userConfigFolder() +
// "/registry.json", shared by every process of the user.
//
// Reads are answered from memory; the file is read again only when its identity,
// size or times changed, so polling a value costs one stat(). A write takes the
// lock file "<path>.lock", reads the file again so that values written meanwhile
// by another process survive, and replaces the whole file atomically: a process
// killed at any moment leaves the old or the new file. A file that is not valid
// JSON reads as empty and stays as it is until the next successful write.

#include "platform/registrystore.h"
#include "platform/registrytree.h"

#include <mutex>

namespace sonorel::platform {

class FileRegistryStore final : public RegistryStore {
public:
    explicit FileRegistryStore(const QString& path);

    QString path() const { return m_path; }

    // Writes that would change nothing (an existing key, an equal value, a
    // missing value to delete) do not touch the file and succeed.
    bool createKey(RegistryRoot root, const QString& key) override;
    bool keyExists(RegistryRoot root, const QString& key) const override;
    std::optional<std::uint32_t> dword(RegistryRoot root, const QString& key,
                                       const QString& name) const override;
    std::optional<QString> string(RegistryRoot root, const QString& key,
                                  const QString& name) const override;
    bool setDword(RegistryRoot root, const QString& key, const QString& name,
                  std::uint32_t value) override;
    bool setString(RegistryRoot root, const QString& key, const QString& name,
                   const QString& value) override;
    bool deleteValue(RegistryRoot root, const QString& key, const QString& name) override;

    // What identifies one version of the file; all -1 when there is no file.
    struct Stamp {
        qint64 device = -1, inode = -1, size = -1, modifiedNs = -1, changedNs = -1;
        bool operator==(const Stamp&) const = default;
    };

private:
    template <class Change> bool modify(Change change);
    template <class Read> auto read(Read reader) const;

    QString m_path;
    mutable std::mutex m_mutex;
    mutable RegistryTree m_tree;
    mutable Stamp m_stamp;
    mutable bool m_loaded = false;
};

} // namespace sonorel::platform
