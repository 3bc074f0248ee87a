#pragma once

// Base of a class with one current instance that others reach through Instance(). The derived
// constructor registers itself; Instance() is null before that and after the instance is gone.
template <class T>
class Singleton {
public:
    virtual ~Singleton() {
        if (s_instance == this) s_instance = nullptr;
    }

    static T* Instance() { return s_instance; }

protected:
    Singleton() = default;
    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

    static void Register(T* instance) { s_instance = instance; }

private:
    static inline T* s_instance = nullptr;
};
