// The one instance of a class per process, made on first use.
#ifndef HALV_C_SINGLETON_H
#define HALV_C_SINGLETON_H

template <typename T> class cSingleton {
public:
    // The language guards the first construction against concurrent callers.
    static T& GetInstance() {
        static T instance;
        return instance;
    }
};

#endif
