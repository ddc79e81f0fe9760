// Helpers of the shell tests: the engine journal, a recorder of the plug-in's
// message boxes, registry values under the engine key, and the staged DLL's
// export names.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engines/EngineJournal.h"

namespace shell_test {

// The journal the test engines write to (exported by the test executable).
EngineJournal& testJournal();

// Clears the journal and sets the engine answers most tests use.
inline EngineJournal& resetJournal()
{
    EngineJournal& journal = testJournal();
    std::memset(&journal, 0, sizeof journal);
    journal.outputCount = 2;
    journal.parameterCount = 40;
    journal.uniqueId = 0x566d5431;
    journal.editorWidth = 640;
    journal.editorHeight = 480;
    journal.editorWritesSize = true;
    return journal;
}

inline std::vector<int32_t> journalCalls()
{
    const EngineJournal& journal = testJournal();
    std::vector<int32_t> calls;
    for (int32_t i = 0; i < journal.entryCount; ++i)
        calls.push_back(journal.entries[i].call);
    return calls;
}

inline int32_t journalCount(EngineCall call)
{
    int32_t count = 0;
    for (int32_t c : journalCalls())
        count += c == call ? 1 : 0;
    return count;
}

// The last entry for one call; a zeroed entry when there is none.
inline JournalEntry lastJournalEntry(EngineCall call)
{
    const EngineJournal& journal = testJournal();
    for (int32_t i = journal.entryCount - 1; i >= 0; --i)
        if (journal.entries[i].call == call)
            return journal.entries[i];
    return JournalEntry{};
}

struct ShownMessage {
    std::string text;
    std::string caption;
    UINT style;
};

// Redirects one module's import of MessageBoxA to a recorder that keeps text,
// caption and style and then shows the box for real (Wine with no display
// answers it at once), or answers OK itself where a display would wait for a
// click. The import slot is restored on destruction.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(HMODULE module, bool showForReal = true)
    {
        shown().clear();
        forReal() = showForReal;
        slot_ = importSlot(module, "user32.dll", "MessageBoxA");
        if (slot_ == nullptr)
            return;
        original_ = *slot_;
        real() = reinterpret_cast<MessageBoxProc>(original_);
        write(reinterpret_cast<void*>(&MessageBoxRecorder::record));
    }

    ~MessageBoxRecorder()
    {
        if (slot_ != nullptr)
            write(original_);
    }

    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    bool patched() const { return slot_ != nullptr; }
    const std::vector<ShownMessage>& messages() const { return shown(); }

    // The address of the import slot `function` of `dll` in the module's
    // import table; null when the module does not import it by name.
    static void** importSlot(HMODULE module, const char* dll, const char* function)
    {
        if (module == nullptr)
            return nullptr;
        auto* base = reinterpret_cast<BYTE*>(module);
        const auto* nt =
            reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (directory.VirtualAddress == 0)
            return nullptr;
        for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
             import->Name != 0; ++import) {
            if (lstrcmpiA(reinterpret_cast<const char*>(base + import->Name), dll) != 0)
                continue;
            const DWORD lookup = import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk : import->FirstThunk;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookup);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                    return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
        return nullptr;
    }

private:
    typedef int(WINAPI* MessageBoxProc)(HWND, LPCSTR, LPCSTR, UINT);

    static std::vector<ShownMessage>& shown()
    {
        static std::vector<ShownMessage> messages;
        return messages;
    }

    static MessageBoxProc& real()
    {
        static MessageBoxProc proc = nullptr;
        return proc;
    }

    static bool& forReal()
    {
        static bool show = true;
        return show;
    }

    static int WINAPI record(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
    {
        shown().push_back({text != nullptr ? text : "(null)", caption != nullptr ? caption : "(null)", style});
        return real() != nullptr && forReal() ? real()(owner, text, caption, style) : IDOK;
    }

    void write(void* value)
    {
        DWORD protection = 0;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
        *slot_ = value;
        VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    }

    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// A value under "Software\Korvanta\SoftSynth" of HKCU or HKLM, deleted again
// on destruction. The staged plug-in's unique name keeps concurrent runs apart.
class EngineKeyValue {
public:
    EngineKeyValue(HKEY root, const std::string& name, DWORD type, const void* data, DWORD size)
        : root_(root), name_(name)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(root, "Software\\Korvanta\\SoftSynth", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        written_ = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
        RegCloseKey(key);
    }

    static EngineKeyValue text(HKEY root, const std::string& name, const std::string& value, DWORD type = REG_SZ)
    {
        return EngineKeyValue(root, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
    }

    EngineKeyValue(EngineKeyValue&& other) noexcept : root_(other.root_), name_(other.name_), written_(other.written_)
    {
        other.written_ = false;
    }

    ~EngineKeyValue()
    {
        if (!written_)
            return;
        HKEY key = nullptr;
        if (RegOpenKeyExA(root_, "Software\\Korvanta\\SoftSynth", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, name_.c_str());
            RegCloseKey(key);
        }
    }

    EngineKeyValue(const EngineKeyValue&) = delete;
    EngineKeyValue& operator=(const EngineKeyValue&) = delete;

    bool written() const { return written_; }

private:
    HKEY root_;
    std::string name_;
    bool written_ = false;
};

// The names in a loaded module's export directory, in table order.
inline std::vector<std::string> exportNames(HMODULE module)
{
    std::vector<std::string> names;
    if (module == nullptr)
        return names;
    auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0)
        return names;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    const auto* nameTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(base + nameTable[i]));
    return names;
}

}  // namespace shell_test
