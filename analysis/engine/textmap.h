#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace engine {

// Texts mapped to numbers, for the handful of keys a page usually has: looked up one by one while
// few (no hashing), through a hash once many, so that long lists stay linear.
class TextMap {
public:
    // The key's value, or nullptr.
    int* find(const QString& key) {
        const qsizetype i = position(key);
        return i < 0 ? nullptr : &m_values[i];
    }
    int value(const QString& key, int otherwise = -1) const {
        const qsizetype i = position(key);
        return i < 0 ? otherwise : m_values.at(i);
    }
    bool contains(const QString& key) const { return position(key) >= 0; }
    // Adds the key with its value; a key already there keeps its first value.
    void insertFirst(const QString& key, int value) {
        if (position(key) >= 0)
            return;
        m_keys.append(key);
        m_values.append(value);
        if (!m_index.isEmpty()) {
            m_index.insert(key, int(m_keys.size() - 1));
        } else if (m_keys.size() > kFew) {
            for (qsizetype i = 0; i < m_keys.size(); ++i)
                m_index.insert(m_keys.at(i), int(i));
        }
    }

private:
    qsizetype position(const QString& key) const {
        if (!m_index.isEmpty())
            return m_index.value(key, -1);
        for (qsizetype i = 0; i < m_keys.size(); ++i)
            if (m_keys.at(i) == key)
                return i;
        return -1;
    }

    static constexpr qsizetype kFew = 16;
    QList<QString> m_keys;
    QList<int> m_values;
    QHash<QString, int> m_index; // key to position, once there are many
};

} // namespace engine
