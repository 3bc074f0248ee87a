#pragma once
// A bag of named values of mixed types whose copies share the values: a result written through
// one copy (on the worker) is read through another (on the UI thread) without any hand-back.
#include <atomic>
#include <boost/any.hpp>
#include <boost/unordered_map.hpp>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "netsqlite/types.h"

// A counted handle to one heap value. Copies share the value; the last one to go deletes it.
// Copies live on both threads, so the count only changes atomically.
template <class T>
class block {
public:
    block() : m_value(new T()), m_count(new std::atomic<std::int32_t>(1)) {}
    explicit block(const T& value)
        : m_value(new T(value)), m_count(new std::atomic<std::int32_t>(1)) {}
    block(const block& other) : m_value(other.m_value), m_count(other.m_count) {
        m_count->fetch_add(1, std::memory_order_relaxed);
    }
    block& operator=(block other) {
        std::swap(m_value, other.m_value);
        std::swap(m_count, other.m_count);
        return *this;
    }
    virtual ~block() {
        // acq_rel: the last owner must see every write made through the other copies.
        if (m_count->fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete m_value;
            delete m_count;
        }
    }

    T& value() const { return *m_value; }

private:
    T* m_value;
    std::atomic<std::int32_t>* m_count;
};

// A name of a context value together with its type, so that whoever puts a value and whoever
// reads it cannot disagree about the type.
template <class T>
struct task_key {
    const char* name;
};

class TaskContext {
public:
    // The first put of a key wins: a later put of the same key changes nothing.
    template <class T>
    void Put(const tstring& key, const T& value) {
        if (m_values.find(key) == m_values.end()) {
            m_values.emplace(key, boost::any(block<T>(value)));
        }
    }
    void Put(const tstring& key, const char* value) { Put(key, tstring(value)); }

    template <class T>
    void Put(task_key<T> key, const std::common_type_t<T>& value = T()) {
        Put<T>(key.name, value);
    }

    // A type other than the stored one, or an absent key, throws boost::bad_any_cast and leaves
    // the context as it was.
    template <class T>
    T& Get(const tstring& key) const {
        const auto found = m_values.find(key);
        if (found == m_values.end()) {
            throw boost::bad_any_cast();
        }
        return boost::any_cast<const block<T>&>(found->second).value();
    }

    template <class T>
    T& Get(task_key<T> key) const {
        return Get<T>(key.name);
    }

    // Null when the key is absent or holds another type.
    template <class T>
    T* Find(task_key<T> key) const {
        const auto found = m_values.find(key.name);
        if (found == m_values.end()) {
            return nullptr;
        }
        const block<T>* held = boost::any_cast<block<T>>(&found->second);
        return held ? &held->value() : nullptr;
    }

    // A new context that holds only `key`, sharing its value with this one.
    TaskContext Only(const tstring& key) const {
        TaskContext only;
        const auto found = m_values.find(key);
        if (found != m_values.end()) {
            only.m_values.insert(*found);
        }
        return only;
    }

    bool Contains(const tstring& key) const { return m_values.count(key) != 0; }
    std::size_t Size() const { return m_values.size(); }

private:
    boost::unordered_map<tstring, boost::any> m_values;
};
