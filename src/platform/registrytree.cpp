#include "platform/registrytree.h"

#include <cmath>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace sonorel::platform {

namespace {

constexpr std::array<const char*, 2> rootNames = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"};

// "Software\\Sonorel\\" and "\\Software\\\\Sonorel" name the same key.
QStringList segments(const QString& key) {
    return key.split(u'\\', Qt::SkipEmptyParts);
}

QString foldedPath(const QString& key) {
    return segments(key).join(u'\\').toCaseFolded();
}

} // namespace

bool RegistryTree::keyExists(RegistryRoot root, const QString& key) const {
    const QString folded = foldedPath(key);
    return folded.isEmpty() || keys(root).contains(folded);
}

std::optional<RegistryValue> RegistryTree::value(RegistryRoot root, const QString& key,
                                                 const QString& name) const {
    const Keys& all = keys(root);
    const auto k = all.constFind(foldedPath(key));
    if (k == all.cend())
        return std::nullopt;
    const auto v = k->values.constFind(name.toCaseFolded());
    if (v == k->values.cend())
        return std::nullopt;
    return v->data;
}

std::optional<std::uint32_t> RegistryTree::dword(RegistryRoot root, const QString& key,
                                                 const QString& name) const {
    const auto v = value(root, key, name);
    if (const auto* dword = v ? std::get_if<std::uint32_t>(&*v) : nullptr)
        return *dword;
    return std::nullopt;
}

std::optional<QString> RegistryTree::string(RegistryRoot root, const QString& key,
                                            const QString& name) const {
    const auto v = value(root, key, name);
    if (const auto* text = v ? std::get_if<QString>(&*v) : nullptr)
        return *text;
    return std::nullopt;
}

RegistryTree::Key& RegistryTree::ensureKey(RegistryRoot root, const QString& key, bool* changed) {
    Keys& all = keys(root);
    const QStringList parts = segments(key);
    if (parts.isEmpty()) {
        auto it = all.find(QString());
        if (it == all.end()) {
            it = all.insert(QString(), Key{});
            *changed = true;
        }
        return *it;
    }
    QString display, folded;
    Keys::iterator it;
    for (const QString& part : parts) {
        if (!folded.isEmpty()) {
            display += u'\\';
            folded += u'\\';
        }
        display += part;
        folded += part.toCaseFolded();
        it = all.find(folded);
        if (it == all.end()) {
            it = all.insert(folded, Key{display, {}});
            *changed = true;
        } else {
            display = it->path; // children take the parent's first spelling
        }
    }
    return *it;
}

bool RegistryTree::createKey(RegistryRoot root, const QString& key) {
    bool changed = false;
    if (!foldedPath(key).isEmpty())
        ensureKey(root, key, &changed);
    return changed;
}

bool RegistryTree::setValue(RegistryRoot root, const QString& key, const QString& name,
                            const RegistryValue& value) {
    bool changed = false;
    Key& k = ensureKey(root, key, &changed);
    const QString folded = name.toCaseFolded();
    auto it = k.values.find(folded);
    if (it == k.values.end()) {
        k.values.insert(folded, Value{name, value});
        return true;
    }
    if (it->data != value) {
        it->data = value;
        changed = true;
    }
    return changed;
}

bool RegistryTree::deleteValue(RegistryRoot root, const QString& key, const QString& name) {
    Keys& all = keys(root);
    const auto k = all.find(foldedPath(key));
    return k != all.end() && k->values.remove(name.toCaseFolded()) > 0;
}

QByteArray RegistryTree::toJson() const {
    QJsonObject document;
    for (std::size_t r = 0; r < m_roots.size(); ++r) {
        if (m_roots[r].isEmpty())
            continue;
        QJsonObject rootObject;
        for (const Key& key : m_roots[r]) {
            QJsonObject values;
            for (const Value& v : key.values) {
                if (const auto* dword = std::get_if<std::uint32_t>(&v.data))
                    values.insert(v.name, qint64(*dword));
                else
                    values.insert(v.name, std::get<QString>(v.data));
            }
            rootObject.insert(key.path, values);
        }
        document.insert(QLatin1String(rootNames[r]), rootObject);
    }
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

RegistryTree RegistryTree::fromJson(const QByteArray& json) {
    RegistryTree tree;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return tree;
    const QJsonObject top = document.object();
    for (std::size_t r = 0; r < rootNames.size(); ++r) {
        const auto root = static_cast<RegistryRoot>(r);
        const QJsonObject rootObject = top.value(QLatin1String(rootNames[r])).toObject();
        for (auto key = rootObject.begin(); key != rootObject.end(); ++key) {
            if (!key->isObject())
                continue;
            bool changed = false;
            tree.ensureKey(root, key.key(), &changed);
            const QJsonObject values = key->toObject();
            for (auto v = values.begin(); v != values.end(); ++v) {
                if (v->isString()) {
                    tree.setValue(root, key.key(), v.key(), v->toString());
                } else if (v->isDouble()) {
                    const double number = v->toDouble();
                    if (number >= 0 && number <= 4294967295.0 && std::floor(number) == number)
                        tree.setValue(root, key.key(), v.key(), std::uint32_t(number));
                }
            }
        }
    }
    return tree;
}

} // namespace sonorel::platform
