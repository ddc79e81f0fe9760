// Reference-counted 8-bit text shared between the plug-in and engines.
// A handle is one pointer to the characters of a StringData block; the block
// carries its own operation table so that whichever module allocated it frees it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace Korvanta {

struct StringData {
    // i686: table 0, refCount 4, length 8, capacity 12, characters 16.
    // x86_64: table 0, refCount 8, length 12, capacity 16, characters 24.
    int32_t refCount;  // >= 1 counted handles; -1 static empty block or locked
    int32_t length;    // characters in use, terminator not counted
    int32_t capacity;  // characters the block holds, terminator not counted

    virtual void freeData();
    virtual bool isCounted() const;

    char* chars() { return reinterpret_cast<char*>(this + 1); }
    const char* chars() const { return reinterpret_cast<const char*>(this + 1); }
};

// The block is polymorphic by design; GCC lays out its fields at fixed offsets.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#if defined(_WIN64)
static_assert(sizeof(StringData) == 24, "StringData header is 24 bytes on x86_64");
static_assert(offsetof(StringData, refCount) == 8, "StringData::refCount at 8");
static_assert(offsetof(StringData, length) == 12, "StringData::length at 12");
static_assert(offsetof(StringData, capacity) == 16, "StringData::capacity at 16");
#else
static_assert(sizeof(StringData) == 16, "StringData header is 16 bytes on i686");
static_assert(offsetof(StringData, refCount) == 4, "StringData::refCount at 4");
static_assert(offsetof(StringData, length) == 8, "StringData::length at 8");
static_assert(offsetof(StringData, capacity) == 12, "StringData::capacity at 12");
#endif
#pragma GCC diagnostic pop

class SharedString {
public:
    SharedString();
    SharedString(const char* text);  // null or "" gives the empty string
    SharedString(const char* bytes, int32_t count);
    SharedString(char ch, int32_t count);
    SharedString(const SharedString& other);
    ~SharedString();

    SharedString& operator=(const SharedString& other) { return assign(other); }
    SharedString& operator=(const char* text) { return assign(text); }
    SharedString& operator=(char ch) { return assign(ch); }
    SharedString& operator+=(const SharedString& other) { return append(other); }
    SharedString& operator+=(const char* text) { return append(text); }
    SharedString& operator+=(char ch) { return append(ch); }

    SharedString& assign(const SharedString& other);
    SharedString& assign(const char* text);
    SharedString& assign(char ch);
    void empty();

    int32_t getLength() const { return data()->length; }
    bool isEmpty() const { return data()->length == 0; }
    const char* c_str() const { return text; }
    operator const char*() const { return text; }

    SharedString& append(const char* text);
    SharedString& append(char ch);
    SharedString& append(const SharedString& other);

    static SharedString concat(const SharedString& a, const SharedString& b);
    static SharedString concat(const SharedString& a, const char* b);
    static SharedString concat(const char* a, const SharedString& b);
    static SharedString concat(const SharedString& a, char b);
    static SharedString concat(char a, const SharedString& b);

    // Out-of-block indices read as NUL rather than past the allocation.
    char getAt(int32_t index) const { return index >= 0 && index <= data()->capacity ? text[index] : '\0'; }
    void setAt(int32_t index, char ch);
    char* getBuffer(int32_t minLength);
    void releaseBuffer(int32_t newLength = -1);
    char* getBufferSetLength(int32_t length);
    void freeExtra();
    char* lockBuffer();
    void unlockBuffer();

    int32_t find(char ch) const;
    int32_t find(char ch, int32_t start) const;
    int32_t find(const char* sub) const;
    int32_t find(const char* sub, int32_t start) const;
    int32_t reverseFind(char ch) const;
    int32_t findOneOf(const char* set) const;

    SharedString mid(int32_t first, int32_t count) const;
    SharedString mid(int32_t first) const;
    SharedString left(int32_t count) const;
    SharedString right(int32_t count) const;
    SharedString spanIncluding(const char* set) const;
    SharedString spanExcluding(const char* set) const;

    int32_t insert(int32_t index, char ch);
    int32_t insert(int32_t index, const char* text);
    int32_t deleteChars(int32_t index, int32_t count = 1);
    int32_t replace(char oldCh, char newCh);
    int32_t replace(const char* oldText, const char* newText);
    int32_t remove(char ch);
    void makeReverse();
    void trimRight();
    void trimRight(char ch);
    void trimRight(const char* set);
    void trimLeft();
    void trimLeft(char ch);
    void trimLeft(const char* set);

    void format(const char* fmt, ...);
    void formatV(const char* fmt, va_list args);
    void formatMessage(const char* message, ...);

    StringData* data() const { return reinterpret_cast<StringData*>(text) - 1; }

private:
    void adopt(StringData* block);  // releases the current block, takes over block's reference
    void copyBeforeWrite();
    void assignBytes(const char* bytes, int32_t count);
    void appendBytes(const char* bytes, int32_t count);
    int32_t insertBytes(int32_t index, const char* bytes, int32_t count);
    void concatBytes(const char* a, int32_t countA, const char* b, int32_t countB);
    bool overlaps(const char* pointer) const;

    char* text;  // characters of the block; never null
};

static_assert(sizeof(SharedString) == sizeof(void*), "SharedString is one pointer");

inline SharedString operator+(const SharedString& a, const SharedString& b)
{
    return SharedString::concat(a, b);
}
inline SharedString operator+(const SharedString& a, const char* b)
{
    return SharedString::concat(a, b);
}
inline SharedString operator+(const char* a, const SharedString& b)
{
    return SharedString::concat(a, b);
}
inline SharedString operator+(const SharedString& a, char b)
{
    return SharedString::concat(a, b);
}
inline SharedString operator+(char a, const SharedString& b)
{
    return SharedString::concat(a, b);
}

// True when the range is readable (and writable when asked) by the system's account.
bool isValidAddress(const void* pointer, uint32_t size, bool writable = true);
// strlen that answers 0 for null.
int32_t safeTextLength(const char* text);

}  // namespace Korvanta
