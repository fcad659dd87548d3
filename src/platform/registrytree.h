#pragma once
// The contents of a registry store held in memory, shared by every store so that
// they all fold letter case and treat key paths alike. Keys are kept flat by
// their whole path; creating a key also creates its parents. A key path or value
// name keeps the spelling it was first given, whatever spelling finds it later.

#include "platform/registrystore.h"

#include <array>
#include <cstdint>
#include <optional>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <variant>

namespace sonorel::platform {

using RegistryValue = std::variant<std::uint32_t, QString>;

class RegistryTree {
public:
    // The root itself (an empty path) always exists.
    bool keyExists(RegistryRoot root, const QString& key) const;
    std::optional<RegistryValue> value(RegistryRoot root, const QString& key,
                                       const QString& name) const;
    // Nothing when the value is missing or holds the other type.
    std::optional<std::uint32_t> dword(RegistryRoot root, const QString& key,
                                       const QString& name) const;
    std::optional<QString> string(RegistryRoot root, const QString& key, const QString& name) const;

    // Each returns true when the tree changed, so callers need not write an
    // unchanged tree back.
    bool createKey(RegistryRoot root, const QString& key);
    bool setValue(RegistryRoot root, const QString& key, const QString& name,
                  const RegistryValue& value);
    bool deleteValue(RegistryRoot root, const QString& key, const QString& name);

    // Indented JSON, one object per root and per key, a DWORD as a number and a
    // string as a string:
    //   {"HKEY_CURRENT_USER": {"Software\\Sonorel": {"WaveEnd": 1, "Voice": "x"}}}
    QByteArray toJson() const;
    // Text that is not a JSON object gives an empty tree; keys and values of the
    // wrong shape (a negative, fractional or too large DWORD, an array, ...) are
    // left out and the rest is kept.
    static RegistryTree fromJson(const QByteArray& json);

private:
    struct Value {
        QString name;
        RegistryValue data;
    };
    struct Key {
        QString path;
        QMap<QString, Value> values; // by folded name
    };
    using Keys = QMap<QString, Key>; // by folded path

    Keys& keys(RegistryRoot root) { return m_roots[static_cast<int>(root)]; }
    const Keys& keys(RegistryRoot root) const { return m_roots[static_cast<int>(root)]; }
    Key& ensureKey(RegistryRoot root, const QString& key, bool* changed);

    std::array<Keys, 2> m_roots;
};

} // namespace sonorel::platform
