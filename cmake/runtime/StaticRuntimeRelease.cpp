// Linked into every DLL that carries its own copy of the C++ runtime (the
// x86_64 build, see Runtime.cmake). That copy reserves an emergency block for
// exceptions when the module loads and never gives it back, so a host that
// loads and unloads the module again and again (the plug-in loads its engine
// for every instance) would lose the block each time. It is handed back when
// the module's statics are destroyed, at unload.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

struct RuntimePoolRelease {
    ~RuntimePoolRelease() { __gnu_cxx::__freeres(); }
};

RuntimePoolRelease runtimePoolRelease;

}  // namespace
