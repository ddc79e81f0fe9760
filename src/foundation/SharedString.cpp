#include "SharedString.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <new>

namespace Korvanta {

void StringData::freeData()
{
    // Runs in the module that allocated the block, whichever module drops the last reference.
    ::operator delete(static_cast<void*>(this));
}

bool StringData::isCounted() const
{
    return refCount != -1;
}

namespace {

// Header plus room for the single NUL; set up on first use because strings with
// static lifetime may be constructed before this file's initialisers have run.
alignas(StringData) unsigned char emptyStorage[sizeof(StringData) + sizeof(void*)];
StringData* emptyBlock = nullptr;

StringData* emptyData()
{
    StringData* block = __atomic_load_n(&emptyBlock, __ATOMIC_ACQUIRE);
    if (block == nullptr) {
        // Concurrent first uses write the same values, so no lock is needed.
        block = new (emptyStorage) StringData;
        block->refCount = -1;
        block->length = 0;
        block->capacity = 0;
        block->chars()[0] = '\0';
        __atomic_store_n(&emptyBlock, block, __ATOMIC_RELEASE);
    }
    return block;
}

volatile LONG* counter(StringData* block)
{
    return reinterpret_cast<volatile LONG*>(&block->refCount);
}

// A block of exactly count characters; count 0 gives the empty block.
StringData* allocateData(int64_t count)
{
    if (count <= 0)
        return emptyData();
    if (count > INT32_MAX - 64)
        throw std::bad_alloc();
    void* memory = ::operator new(sizeof(StringData) + static_cast<size_t>(count) + 1);
    StringData* block = new (memory) StringData;
    block->refCount = 1;
    block->length = static_cast<int32_t>(count);
    block->capacity = static_cast<int32_t>(count);
    block->chars()[count] = '\0';
    return block;
}

void releaseData(StringData* block)
{
    if (block->isCounted() && InterlockedDecrement(counter(block)) <= 0)
        block->freeData();
}

// Moves the length and the terminator, but leaves an unchanged static empty
// block untouched so that concurrent users never see a write to it.
void setLength(StringData* block, int32_t length)
{
    if (block->capacity == 0 && length == 0 && block->chars()[0] == '\0')
        return;
    block->length = length;
    block->chars()[length] = '\0';
}

bool inSet(char ch, const char* set)
{
    return ch != '\0' && std::strchr(set, ch) != nullptr;
}

int32_t clampedLength(size_t length)
{
    return length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
}

// ---- format estimate ----------------------------------------------------

int32_t readNumber(const char*& p)
{
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = std::min<int64_t>(value * 10 + (*p - '0'), INT32_MAX);
        ++p;
    }
    return static_cast<int32_t>(value);
}

// Negative widths mean left alignment of the same width; a negative precision means none.
int32_t starWidth(va_list& args)
{
    int value = va_arg(args, int);
    return value == INT_MIN ? INT_MAX : (value < 0 ? -value : value);
}

int32_t starPrecision(va_list& args)
{
    int value = va_arg(args, int);
    return value < 0 ? 0 : value;
}

enum class ArgSize { normal, half, wide, quad, pointer, longDouble };

int64_t textEstimate(int64_t length, int32_t width, int32_t precision)
{
    if (precision != 0)
        length = std::min<int64_t>(length, precision);
    return std::max<int64_t>(length, width);
}

// An upper bound of the formatted length for the usual conversions, consuming
// each argument by its real type so that later items read the right values.
int64_t estimateLength(const char* format, va_list args)
{
    int64_t total = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%' || *(++p) == '%') {
            total += static_cast<int64_t>(std::strlen(p));
            continue;
        }
        for (; *p != '\0'; ++p) {
            if (*p == '#')
                total += 2;
            else if (*p != '-' && *p != '+' && *p != '0' && *p != ' ')
                break;
        }
        int32_t width = 0;
        if (*p == '*') {
            width = starWidth(args);
            ++p;
        } else {
            width = readNumber(p);
        }
        int32_t precision = 0;
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                precision = starPrecision(args);
                ++p;
            } else {
                precision = readNumber(p);
            }
        }
        ArgSize size = ArgSize::normal;
        for (bool modifier = true; modifier;) {
            if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
                size = ArgSize::quad;
                p += 3;
            } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
                size = ArgSize::normal;
                p += 3;
            } else if (*p == 'I' || *p == 'z' || *p == 't') {
                size = ArgSize::pointer;
                ++p;
            } else if (*p == 'j' || (p[0] == 'l' && p[1] == 'l')) {
                size = ArgSize::quad;
                p += *p == 'j' ? 1 : 2;
            } else if (*p == 'h') {
                size = ArgSize::half;
                ++p;
            } else if (*p == 'l' || *p == 'w') {
                size = ArgSize::wide;
                ++p;
            } else if (*p == 'L') {
                size = ArgSize::longDouble;
                ++p;
            } else if (*p == 'F' || *p == 'N') {
                ++p;
            } else {
                modifier = false;
            }
        }
        int64_t item = 0;
        switch (*p) {
        case 'c':
        case 'C':
            (void)va_arg(args, int);
            item = textEstimate(2, width, precision);
            break;
        case 's':
        case 'S': {
            bool wideText = size == ArgSize::wide || (*p == 'S' && size != ArgSize::half);
            int64_t length = 6;  // "(null)"
            if (wideText) {
                const wchar_t* value = va_arg(args, const wchar_t*);
                if (value != nullptr)
                    length = std::max<int64_t>(1, static_cast<int64_t>(std::wcslen(value)));
            } else {
                const char* value = va_arg(args, const char*);
                if (value != nullptr)
                    length = std::max<int64_t>(1, static_cast<int64_t>(std::strlen(value)));
            }
            item = textEstimate(length, width, precision);
            break;
        }
        case 'd':
        case 'i':
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            if (size == ArgSize::quad)
                (void)va_arg(args, long long);
            else if (size == ArgSize::pointer)
                (void)va_arg(args, intptr_t);
            else
                (void)va_arg(args, int);
            item = std::max<int64_t>(32, int64_t(width) + precision);
            break;
        case 'p':
            (void)va_arg(args, void*);
            item = std::max<int64_t>(32, int64_t(width) + precision);
            break;
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (size == ArgSize::longDouble)
                (void)va_arg(args, long double);
            else
                (void)va_arg(args, double);
            item = std::max<int64_t>(128, int64_t(width) + precision);
            break;
        case 'f': {
            // Measured, not printed into a fixed scratch buffer: large values
            // need more than any fixed size.
            int fractionDigits = static_cast<int>(std::min<int64_t>(int64_t(precision) + 6, INT_MAX / 2));
            int measured = size == ArgSize::longDouble
                               ? std::snprintf(nullptr, 0, "%*.*Lf", width, fractionDigits, va_arg(args, long double))
                               : std::snprintf(nullptr, 0, "%*.*f", width, fractionDigits, va_arg(args, double));
            item = std::max(measured, 0);
            break;
        }
        case 'n':
            (void)va_arg(args, void*);
            break;
        case '\0':
            return total;  // a lone '%' ends the format
        default:
            break;
        }
        total += item;
    }
    return total;
}

}  // namespace

// ---- construction and release -------------------------------------------

SharedString::SharedString() : text(emptyData()->chars()) {}

SharedString::SharedString(const char* source) : text(emptyData()->chars())
{
    assignBytes(source, safeTextLength(source));
}

SharedString::SharedString(const char* bytes, int32_t count) : text(emptyData()->chars())
{
    if (bytes != nullptr && count > 0)
        assignBytes(bytes, count);
}

SharedString::SharedString(char ch, int32_t count) : text(emptyData()->chars())
{
    if (count < 1)
        return;
    StringData* block = allocateData(count);
    std::memset(block->chars(), static_cast<unsigned char>(ch), static_cast<size_t>(count));
    text = block->chars();
}

SharedString::SharedString(const SharedString& other) : text(emptyData()->chars())
{
    StringData* source = other.data();
    if (source->refCount >= 0) {
        InterlockedIncrement(counter(source));
        text = other.text;
    } else {
        // An uncounted source (locked, or an empty block) is copied as NUL-terminated text.
        assignBytes(other.text, safeTextLength(other.text));
    }
}

SharedString::~SharedString()
{
    releaseData(data());
}

void SharedString::adopt(StringData* block)
{
    StringData* old = data();
    text = block->chars();
    releaseData(old);
}

void SharedString::copyBeforeWrite()
{
    StringData* block = data();
    if (block->refCount <= 1)
        return;
    StringData* copy = allocateData(block->length);
    std::memcpy(copy->chars(), block->chars(), static_cast<size_t>(copy->length));
    adopt(copy);
}

bool SharedString::overlaps(const char* pointer) const
{
    std::less_equal<const char*> notAfter;
    return notAfter(text, pointer) && notAfter(pointer, text + data()->capacity);
}

// ---- assignment ---------------------------------------------------------

SharedString& SharedString::assign(const SharedString& other)
{
    if (text == other.text)
        return *this;
    StringData* source = other.data();
    if (source->refCount < 0) {
        assignBytes(other.text, source->length);
    } else {
        InterlockedIncrement(counter(source));
        adopt(source);
    }
    return *this;
}

SharedString& SharedString::assign(const char* source)
{
    assignBytes(source, safeTextLength(source));
    return *this;
}

SharedString& SharedString::assign(char ch)
{
    assignBytes(&ch, 1);
    return *this;
}

void SharedString::assignBytes(const char* bytes, int32_t count)
{
    if (bytes == nullptr || count < 0)
        count = 0;
    StringData* block = data();
    if (block->refCount > 1 || block->capacity < count) {
        // The new block is filled before the old one goes: the source may lie in it.
        StringData* fresh = allocateData(count);
        if (count > 0)
            std::memcpy(fresh->chars(), bytes, static_cast<size_t>(count));
        adopt(fresh);
        return;
    }
    if (count > 0)
        std::memmove(text, bytes, static_cast<size_t>(count));
    setLength(block, count);
}

void SharedString::empty()
{
    StringData* block = data();
    if (block->length == 0)
        return;
    if (block->refCount < 0)
        setLength(block, 0);  // locked: its holder still writes through the pointer
    else
        adopt(emptyData());
}

// ---- appending and concatenation ---------------------------------------

SharedString& SharedString::append(const char* source)
{
    appendBytes(source, safeTextLength(source));
    return *this;
}

SharedString& SharedString::append(char ch)
{
    appendBytes(&ch, 1);
    return *this;
}

SharedString& SharedString::append(const SharedString& other)
{
    appendBytes(other.text, other.data()->length);
    return *this;
}

void SharedString::appendBytes(const char* bytes, int32_t count)
{
    if (bytes == nullptr || count <= 0)
        return;
    StringData* block = data();
    int32_t length = block->length;
    if (block->refCount <= 1 && int64_t(length) + count <= block->capacity) {
        std::memmove(text + length, bytes, static_cast<size_t>(count));
        setLength(block, length + count);
        return;
    }
    // The old block stays readable until the copy is done, so appending to itself works.
    StringData* fresh = allocateData(int64_t(length) + count);
    std::memcpy(fresh->chars(), text, static_cast<size_t>(length));
    std::memcpy(fresh->chars() + length, bytes, static_cast<size_t>(count));
    adopt(fresh);
}

void SharedString::concatBytes(const char* a, int32_t countA, const char* b, int32_t countB)
{
    StringData* block = allocateData(int64_t(countA) + countB);
    if (countA > 0)
        std::memcpy(block->chars(), a, static_cast<size_t>(countA));
    if (countB > 0)
        std::memcpy(block->chars() + countA, b, static_cast<size_t>(countB));
    adopt(block);
}

SharedString SharedString::concat(const SharedString& a, const SharedString& b)
{
    SharedString result;
    result.concatBytes(a.text, a.getLength(), b.text, b.getLength());
    return result;
}

SharedString SharedString::concat(const SharedString& a, const char* b)
{
    SharedString result;
    result.concatBytes(a.text, a.getLength(), b, safeTextLength(b));
    return result;
}

SharedString SharedString::concat(const char* a, const SharedString& b)
{
    SharedString result;
    result.concatBytes(a, safeTextLength(a), b.text, b.getLength());
    return result;
}

SharedString SharedString::concat(const SharedString& a, char b)
{
    SharedString result;
    result.concatBytes(a.text, a.getLength(), &b, 1);
    return result;
}

SharedString SharedString::concat(char a, const SharedString& b)
{
    SharedString result;
    result.concatBytes(&a, 1, b.text, b.getLength());
    return result;
}

// ---- buffer access ------------------------------------------------------

void SharedString::setAt(int32_t index, char ch)
{
    copyBeforeWrite();
    // Writes outside the block are dropped; inside it nothing is checked, so a
    // NUL shortens the text without changing the length.
    if (index >= 0 && index < data()->capacity)
        text[index] = ch;
}

char* SharedString::getBuffer(int32_t minLength)
{
    if (minLength < 0)
        minLength = 0;
    StringData* block = data();
    if (block->refCount > 1 || minLength > block->capacity) {
        StringData* fresh = allocateData(std::max(minLength, block->length));
        if (fresh->capacity > 0) {
            std::memcpy(fresh->chars(), text, static_cast<size_t>(block->length) + 1);
            fresh->length = block->length;
        }
        adopt(fresh);
    }
    return text;
}

void SharedString::releaseBuffer(int32_t newLength)
{
    copyBeforeWrite();
    StringData* block = data();
    if (newLength < 0) {
        const void* end = std::memchr(text, '\0', static_cast<size_t>(block->capacity));
        newLength = end != nullptr ? static_cast<int32_t>(static_cast<const char*>(end) - text) : block->capacity;
    }
    setLength(block, std::min(newLength, block->capacity));
}

char* SharedString::getBufferSetLength(int32_t length)
{
    if (length < 0)
        length = 0;
    getBuffer(length);
    setLength(data(), length);
    return text;
}

void SharedString::freeExtra()
{
    StringData* block = data();
    // A locked block keeps its place: its holder writes through the pointer it was given.
    if (block->length == block->capacity || block->refCount < 0)
        return;
    StringData* fresh = allocateData(block->length);
    std::memcpy(fresh->chars(), text, static_cast<size_t>(block->length));
    adopt(fresh);
}

char* SharedString::lockBuffer()
{
    char* buffer = getBuffer(0);
    StringData* block = data();
    if (block->refCount != -1)
        block->refCount = -1;
    return buffer;
}

void SharedString::unlockBuffer()
{
    StringData* block = data();
    // Heap blocks always hold at least one character; an empty block stays uncounted.
    if (block->refCount == -1 && block->capacity > 0)
        block->refCount = 1;
}

// ---- search -------------------------------------------------------------

int32_t SharedString::find(char ch) const
{
    return find(ch, 0);
}

int32_t SharedString::find(char ch, int32_t start) const
{
    int32_t length = getLength();
    if (start < 0)
        start = 0;
    if (start >= length)
        return -1;
    const void* hit = std::memchr(text + start, static_cast<unsigned char>(ch), static_cast<size_t>(length - start));
    return hit != nullptr ? static_cast<int32_t>(static_cast<const char*>(hit) - text) : -1;
}

int32_t SharedString::find(const char* sub) const
{
    return find(sub, 0);
}

int32_t SharedString::find(const char* sub, int32_t start) const
{
    int32_t length = getLength();
    if (sub == nullptr)
        return -1;
    if (start < 0)
        start = 0;
    if (start > length)
        return -1;
    int32_t subLength = safeTextLength(sub);
    for (int32_t i = start; int64_t(i) + subLength <= length; ++i) {
        if (std::memcmp(text + i, sub, static_cast<size_t>(subLength)) == 0)
            return i;
    }
    return -1;
}

int32_t SharedString::reverseFind(char ch) const
{
    for (int32_t i = getLength() - 1; i >= 0; --i) {
        if (text[i] == ch)
            return i;
    }
    return -1;
}

int32_t SharedString::findOneOf(const char* set) const
{
    if (set == nullptr)
        return -1;
    int32_t length = getLength();
    for (int32_t i = 0; i < length; ++i) {
        if (inSet(text[i], set))
            return i;
    }
    return -1;
}

// ---- extraction ---------------------------------------------------------

SharedString SharedString::mid(int32_t first, int32_t count) const
{
    int32_t length = getLength();
    first = std::min(std::max(first, 0), length);
    count = std::min(std::max(count, 0), length - first);
    if (first == 0 && count == length)
        return *this;
    return SharedString(text + first, count);
}

SharedString SharedString::mid(int32_t first) const
{
    int32_t length = getLength();
    first = std::min(std::max(first, 0), length);
    return mid(first, length - first);
}

SharedString SharedString::left(int32_t count) const
{
    return mid(0, count);
}

SharedString SharedString::right(int32_t count) const
{
    int32_t length = getLength();
    count = std::min(std::max(count, 0), length);
    return mid(length - count, count);
}

SharedString SharedString::spanIncluding(const char* set) const
{
    int32_t length = getLength();
    int32_t run = 0;
    if (set != nullptr) {
        while (run < length && inSet(text[run], set))
            ++run;
    }
    return left(run);
}

SharedString SharedString::spanExcluding(const char* set) const
{
    int32_t length = getLength();
    int32_t run = 0;
    while (run < length && (set == nullptr || !inSet(text[run], set)))
        ++run;
    return left(run);
}

// ---- in-place edits -----------------------------------------------------

int32_t SharedString::insert(int32_t index, char ch)
{
    return insertBytes(index, &ch, 1);
}

int32_t SharedString::insert(int32_t index, const char* source)
{
    return insertBytes(index, source, safeTextLength(source));
}

int32_t SharedString::insertBytes(int32_t index, const char* bytes, int32_t count)
{
    if (bytes == nullptr || count <= 0)
        return getLength();
    // A source inside this block would move under the shift below.
    SharedString copy;
    if (overlaps(bytes)) {
        copy.assignBytes(bytes, count);
        bytes = copy.text;
    }
    copyBeforeWrite();
    StringData* block = data();
    int32_t length = block->length;
    index = std::min(std::max(index, 0), length);
    int64_t newLength = int64_t(length) + count;
    if (newLength > block->capacity) {
        StringData* fresh = allocateData(newLength);
        std::memcpy(fresh->chars(), text, static_cast<size_t>(index));
        std::memcpy(fresh->chars() + index, bytes, static_cast<size_t>(count));
        std::memcpy(fresh->chars() + index + count, text + index, static_cast<size_t>(length - index));
        adopt(fresh);
    } else {
        std::memmove(text + index + count, text + index, static_cast<size_t>(length - index));
        std::memcpy(text + index, bytes, static_cast<size_t>(count));
        setLength(block, static_cast<int32_t>(newLength));
    }
    return getLength();
}

int32_t SharedString::deleteChars(int32_t index, int32_t count)
{
    int32_t length = getLength();
    if (index < 0)
        index = 0;
    if (count <= 0 || index >= length)
        return length;
    count = std::min(count, length - index);
    copyBeforeWrite();
    std::memmove(text + index, text + index + count, static_cast<size_t>(length - index - count));
    setLength(data(), length - count);
    return length;
}

int32_t SharedString::replace(char oldCh, char newCh)
{
    if (oldCh == newCh)
        return 0;
    int32_t length = getLength();
    int32_t count = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (text[i] == oldCh) {
            if (count++ == 0)
                copyBeforeWrite();
            text[i] = newCh;
        }
    }
    return count;
}

int32_t SharedString::replace(const char* oldText, const char* newText)
{
    int32_t oldLength = safeTextLength(oldText);
    if (oldLength == 0)
        return 0;
    int32_t length = getLength();
    int32_t count = 0;
    for (int32_t i = 0; int64_t(i) + oldLength <= length;) {
        if (std::memcmp(text + i, oldText, static_cast<size_t>(oldLength)) == 0) {
            ++count;
            i += oldLength;
        } else {
            ++i;
        }
    }
    if (count == 0)
        return 0;

    // Either text may lie inside this block, which the edit below rewrites.
    SharedString oldCopy;
    SharedString newCopy;
    if (overlaps(oldText)) {
        oldCopy.assignBytes(oldText, oldLength);
        oldText = oldCopy.text;
    }
    int32_t newLength = safeTextLength(newText);
    if (newText != nullptr && overlaps(newText)) {
        newCopy.assignBytes(newText, newLength);
        newText = newCopy.text;
    }
    int64_t resultLength = int64_t(length) + int64_t(newLength - oldLength) * count;

    copyBeforeWrite();
    StringData* block = data();
    if (resultLength > block->capacity) {
        StringData* fresh = allocateData(resultLength);
        char* out = fresh->chars();
        for (int32_t i = 0; i < length;) {
            if (int64_t(i) + oldLength <= length &&
                std::memcmp(text + i, oldText, static_cast<size_t>(oldLength)) == 0) {
                if (newLength > 0)
                    std::memcpy(out, newText, static_cast<size_t>(newLength));
                out += newLength;
                i += oldLength;
            } else {
                *out++ = text[i++];
            }
        }
        adopt(fresh);
    } else {
        // In place: intermediate lengths lie between the old and the result length.
        int32_t current = length;
        for (int32_t i = 0; int64_t(i) + oldLength <= current;) {
            if (std::memcmp(text + i, oldText, static_cast<size_t>(oldLength)) == 0) {
                std::memmove(text + i + newLength, text + i + oldLength, static_cast<size_t>(current - i - oldLength));
                if (newLength > 0)
                    std::memcpy(text + i, newText, static_cast<size_t>(newLength));
                current += newLength - oldLength;
                i += newLength;
            } else {
                ++i;
            }
        }
        setLength(block, current);
    }
    return count;
}

int32_t SharedString::remove(char ch)
{
    int32_t length = getLength();
    if (find(ch) < 0)
        return 0;
    copyBeforeWrite();
    int32_t kept = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (text[i] != ch)
            text[kept++] = text[i];
    }
    setLength(data(), kept);
    return length - kept;
}

void SharedString::makeReverse()
{
    if (getLength() < 2)
        return;
    copyBeforeWrite();
    std::reverse(text, text + getLength());
}

namespace {

bool isSpace(char ch, const char*)
{
    return std::isspace(static_cast<unsigned char>(ch)) != 0;
}
bool isChar(char ch, const char* target)
{
    return ch == *target;
}
bool isInSet(char ch, const char* set)
{
    return inSet(ch, set);
}

}  // namespace

namespace {

template <typename Match>
int32_t trailingRun(const char* text, int32_t length, Match match, const char* arg)
{
    int32_t end = length;
    while (end > 0 && match(text[end - 1], arg))
        --end;
    return length - end;
}

template <typename Match>
int32_t leadingRun(const char* text, int32_t length, Match match, const char* arg)
{
    int32_t run = 0;
    while (run < length && match(text[run], arg))
        ++run;
    return run;
}

}  // namespace

void SharedString::trimRight()
{
    int32_t run = trailingRun(text, getLength(), isSpace, nullptr);
    if (run > 0) {
        copyBeforeWrite();
        setLength(data(), getLength() - run);
    }
}

void SharedString::trimRight(char ch)
{
    int32_t run = trailingRun(text, getLength(), isChar, &ch);
    if (run > 0) {
        copyBeforeWrite();
        setLength(data(), getLength() - run);
    }
}

void SharedString::trimRight(const char* set)
{
    if (set == nullptr)
        return;
    int32_t run = trailingRun(text, getLength(), isInSet, set);
    if (run > 0) {
        copyBeforeWrite();
        setLength(data(), getLength() - run);
    }
}

void SharedString::trimLeft()
{
    int32_t run = leadingRun(text, getLength(), isSpace, nullptr);
    if (run > 0)
        deleteChars(0, run);
}

void SharedString::trimLeft(char ch)
{
    int32_t run = leadingRun(text, getLength(), isChar, &ch);
    if (run > 0)
        deleteChars(0, run);
}

void SharedString::trimLeft(const char* set)
{
    if (set == nullptr)
        return;
    int32_t run = leadingRun(text, getLength(), isInSet, set);
    if (run > 0)
        deleteChars(0, run);
}

// ---- formatting ---------------------------------------------------------

void SharedString::format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    try {
        formatV(fmt, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

void SharedString::formatV(const char* fmt, va_list args)
{
    if (fmt == nullptr) {
        assignBytes(nullptr, 0);
        return;
    }
    va_list estimateArgs;
    va_copy(estimateArgs, args);
    int64_t estimate = estimateLength(fmt, estimateArgs);
    va_end(estimateArgs);

    // The estimate misses conversions outside its table; the exact measure
    // keeps the write inside the reserved block in every case.
    va_list measureArgs;
    va_copy(measureArgs, args);
    int exact = std::vsnprintf(nullptr, 0, fmt, measureArgs);
    va_end(measureArgs);
    if (exact < 0) {
        assignBytes(nullptr, 0);  // an unprintable argument gives an empty result
        return;
    }
    int64_t reserve = std::max<int64_t>(estimate, exact);
    if (reserve > INT32_MAX - 64)
        throw std::bad_alloc();

    // Printed into a fresh block: an argument may be this string's own text.
    StringData* block = data();
    bool keepBlock = block->refCount <= 1 && block->capacity >= reserve;
    StringData* fresh = allocateData(keepBlock ? exact : std::max<int64_t>(reserve, block->length));
    if (fresh->capacity > 0) {
        va_list printArgs;
        va_copy(printArgs, args);
        std::vsnprintf(fresh->chars(), static_cast<size_t>(fresh->capacity) + 1, fmt, printArgs);
        va_end(printArgs);
    }
    int32_t length = clampedLength(std::strlen(fresh->chars()));
    if (keepBlock) {
        std::memcpy(text, fresh->chars(), static_cast<size_t>(length));
        setLength(block, length);
        releaseData(fresh);
    } else {
        setLength(fresh, length);
        adopt(fresh);
    }
}

void SharedString::formatMessage(const char* message, ...)
{
    char* buffer = nullptr;
    DWORD written = 0;
    if (message != nullptr) {
        va_list args;
        va_start(args, message);
        written = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, message, 0, 0,
                                 reinterpret_cast<LPSTR>(&buffer), 0, &args);
        va_end(args);
    }
    if (written == 0 || buffer == nullptr) {
        assignBytes(nullptr, 0);
        if (buffer != nullptr)
            LocalFree(buffer);
        return;
    }
    try {
        assignBytes(buffer, clampedLength(written));
    } catch (...) {
        LocalFree(buffer);
        throw;
    }
    LocalFree(buffer);
}

// ---- free helpers -------------------------------------------------------

bool isValidAddress(const void* pointer, uint32_t size, bool writable)
{
    if (pointer == nullptr)
        return false;
    if (IsBadReadPtr(pointer, size) != 0)
        return false;
    return !writable || IsBadWritePtr(const_cast<void*>(pointer), size) == 0;
}

int32_t safeTextLength(const char* text)
{
    return text != nullptr ? clampedLength(std::strlen(text)) : 0;
}

}  // namespace Korvanta
