// A stand-in for a separately built engine: it declares the stream, buffer and
// exception types itself, from their published slot tables, and drives the
// objects the test executable hands it. It includes none of the project's
// headers, so a slot the project's headers reorder, add or drop shows up as a
// wrong call here.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <new>
#include <string>
#include <typeinfo>

namespace Korvanta {

// Text block: table, count, length, capacity, then the characters. Whichever
// module allocated a block frees it through the block's own table.
struct StringData {
    virtual void freeData() { std::free(this); }
    virtual bool isCounted() const { return refCount != -1; }

    int32_t refCount;
    int32_t length;
    int32_t capacity;

    char* chars() { return reinterpret_cast<char*>(this + 1); }
};

class SharedString {
public:
    SharedString() : text(emptyBlock()->chars()) {}
    SharedString(const char* bytes, int32_t count) : text(emptyBlock()->chars())
    {
        if (count <= 0) {
            return;
        }
        void* memory = std::malloc(sizeof(StringData) + static_cast<size_t>(count) + 1);
        if (!memory) {
            throw std::bad_alloc();
        }
        StringData* block = new (memory) StringData;
        block->refCount = 1;
        block->length = count;
        block->capacity = count;
        std::memcpy(block->chars(), bytes, static_cast<size_t>(count));
        block->chars()[count] = '\0';
        text = block->chars();
    }
    explicit SharedString(const char* text) : SharedString(text, static_cast<int32_t>(std::strlen(text))) {}
    SharedString(const SharedString& other) : text(other.text)
    {
        if (data()->isCounted()) {
            InterlockedIncrement(reinterpret_cast<volatile LONG*>(&data()->refCount));
        } else {
            text = SharedString(other.text, other.length()).release();
        }
    }
    SharedString& operator=(const SharedString&) = delete;
    ~SharedString()
    {
        StringData* block = data();
        if (block->isCounted() && InterlockedDecrement(reinterpret_cast<volatile LONG*>(&block->refCount)) <= 0) {
            block->freeData();
        }
    }

    int32_t length() const { return data()->length; }
    std::string bytes() const { return std::string(text, static_cast<size_t>(length())); }

private:
    StringData* data() const { return reinterpret_cast<StringData*>(text) - 1; }
    char* release()
    {
        char* taken = text;
        text = emptyBlock()->chars();
        return taken;
    }
    static StringData* emptyBlock()
    {
        struct Empty {
            StringData header;
            char nul;
        };
        static Empty empty = [] {
            Empty e;
            e.header.refCount = -1;
            e.header.length = 0;
            e.header.capacity = 0;
            e.nul = '\0';
            return e;
        }();
        return &empty.header;
    }

    char* text;
};

class InputStream {
public:
    virtual bool atEnd() = 0;
    virtual bool read(SharedString& value) = 0;
    virtual bool read(int64_t& value) = 0;
    virtual bool read(int32_t& value) = 0;
    virtual bool read(int16_t& value) = 0;
    virtual bool read(int8_t& value) = 0;
    virtual bool read(double& value) = 0;
    virtual bool read(float& value) = 0;
    virtual bool read(uint64_t& value) = 0;
    virtual bool read(uint32_t& value) = 0;
    virtual bool read(uint16_t& value) = 0;
    virtual bool read(uint8_t& value) = 0;
    virtual int32_t readRaw(void* destination, int32_t count) = 0;
    virtual int32_t readBlock(void* destination, int32_t elementSize, int32_t count) = 0;
    virtual int8_t readInt8() = 0;
    virtual int16_t readInt16() = 0;
    virtual int32_t readInt32() = 0;
    virtual int64_t readInt64() = 0;
    virtual uint8_t readUInt8() = 0;
    virtual uint16_t readUInt16() = 0;
    virtual uint32_t readUInt32() = 0;
    virtual uint64_t readUInt64() = 0;
    virtual float readFloat() = 0;
    virtual double readDouble() = 0;
    virtual SharedString readString() = 0;
};

class OutputStream {
public:
    virtual bool write(const SharedString& value) = 0;
    virtual bool write(int64_t value) = 0;
    virtual bool write(int32_t value) = 0;
    virtual bool write(int16_t value) = 0;
    virtual bool write(int8_t value) = 0;
    virtual bool write(double value) = 0;
    virtual bool write(float value) = 0;
    virtual bool write(uint64_t value) = 0;
    virtual bool write(uint32_t value) = 0;
    virtual bool write(uint16_t value) = 0;
    virtual bool write(uint8_t value) = 0;
    virtual int32_t writeRaw(const void* source, int32_t count) = 0;
    virtual int32_t writeBlock(const void* source, int32_t elementSize, int32_t count) = 0;
    virtual bool writeInt8(int8_t value) = 0;
    virtual bool writeInt16(int16_t value) = 0;
    virtual bool writeInt32(int32_t value) = 0;
    virtual bool writeInt64(int64_t value) = 0;
    virtual bool writeUInt8(uint8_t value) = 0;
    virtual bool writeUInt16(uint16_t value) = 0;
    virtual bool writeUInt32(uint32_t value) = 0;
    virtual bool writeUInt64(uint64_t value) = 0;
    virtual bool writeFloat(float value) = 0;
    virtual bool writeDouble(double value) = 0;
    virtual bool writeString(SharedString value) = 0;
};

class RandomAccess {
public:
    virtual uint32_t seek(int32_t offset, int32_t origin) = 0;
    virtual uint32_t tell() = 0;
    virtual bool skip(int32_t count) = 0;
    virtual uint32_t truncate() = 0;
};

class IRefCounter {
public:
    virtual int32_t addRef() = 0;
    virtual int32_t release() = 0;
};

class Allocator : public IRefCounter {
public:
    virtual void* allocate(uint32_t size) = 0;
    virtual void* reallocate(void* block, uint32_t size) = 0;
    virtual void deallocate(void* block) = 0;
};

class IStreamBuffer : public IRefCounter {
public:
    virtual uint32_t read(void* destination, uint32_t count) = 0;
    virtual uint32_t write(const void* source, uint32_t count) = 0;
    virtual uint32_t seek(int32_t offset, int32_t origin) = 0;
    virtual uint8_t* data() = 0;
    virtual uint32_t size() = 0;
    virtual Allocator* detach(uint8_t** block, uint32_t* size) = 0;
    virtual uint32_t truncate() = 0;
};

class StreamBuffer;

// Exceptions match across modules by their mangled names, so these are the
// same types as the plug-in's for a catch.
class Exception {
public:
    virtual ~Exception() {}
    virtual SharedString typeName() const
    {
        int status = 0;
        char* readable = abi::__cxa_demangle(typeid(*this).name(), nullptr, nullptr, &status);
        SharedString name(status == 0 && readable ? readable : "?");
        std::free(readable);
        return name;
    }
};

class StreamBufferException : public Exception {
public:
    StreamBufferException(StreamBuffer* buffer, int32_t code) : buffer(buffer), code(code) {}
    StreamBuffer* buffer;
    int32_t code;
};

}  // namespace Korvanta

using namespace Korvanta;

namespace {

class Report {
public:
    Report& operator<<(const std::string& text)
    {
        out += text;
        return *this;
    }
    Report& operator<<(const char* text) { return *this << std::string(text); }
    Report& operator<<(int64_t value) { return *this << std::to_string(value); }
    Report& operator<<(uint64_t value) { return *this << std::to_string(value); }
    Report& operator<<(int32_t value) { return *this << static_cast<int64_t>(value); }
    Report& operator<<(uint32_t value) { return *this << static_cast<uint64_t>(value); }
    Report& operator<<(double value) { return *this << std::to_string(value); }

    int32_t copyTo(char* destination, int32_t size) const
    {
        if (!destination || size <= 0) {
            return 0;
        }
        const size_t count = out.size() < static_cast<size_t>(size - 1) ? out.size() : static_cast<size_t>(size - 1);
        std::memcpy(destination, out.data(), count);
        destination[count] = '\0';
        return static_cast<int32_t>(count);
    }

private:
    std::string out;
};

int64_t asInt(bool value)
{
    return value ? 1 : 0;
}

}  // namespace

// Calls slots 1 to 24 in order, each with a value of its own.
extern "C" __declspec(dllexport) void probeWriteEverySlot(OutputStream* out)
{
    const SharedString first("one");
    out->write(first);                            // 1
    out->write(int64_t(-2));                      // 2
    out->write(int32_t(-3));                      // 3
    out->write(int16_t(-4));                      // 4
    out->write(int8_t(-5));                       // 5
    out->write(6.5);                              // 6
    out->write(7.25f);                            // 7
    out->write(uint64_t(0x0807060504030201ull));  // 8
    out->write(uint32_t(0x09080706u));            // 9
    out->write(uint16_t(0x0A0Bu));                // 10
    out->write(uint8_t(0xB1u));                   // 11
    out->writeRaw("raw", 3);                      // 12
    const int16_t pair[2] = {0x1301, 0x1302};
    out->writeBlock(pair, 2, 2);              // 13
    out->writeInt8(-14);                      // 14
    out->writeInt16(-15);                     // 15
    out->writeInt32(-16);                     // 16
    out->writeInt64(-17);                     // 17
    out->writeUInt8(0xC2);                    // 18
    out->writeUInt16(0xC3C4);                 // 19
    out->writeUInt32(0xC5C6C7C8u);            // 20
    out->writeUInt64(0x15000000000000C9ull);  // 21
    out->writeFloat(-22.5f);                  // 22
    out->writeDouble(-23.75);                 // 23
    out->writeString(SharedString("last"));   // 24
}

// Calls slots 1 to 25 in order and reports what each one answered.
extern "C" __declspec(dllexport) int32_t probeReadEverySlot(InputStream* in, char* report, int32_t size)
{
    Report r;
    r << "1:" << asInt(in->atEnd());
    SharedString text;
    r << " 2:" << asInt(in->read(text)) << "," << text.bytes();
    int64_t i64 = 0;
    r << " 3:" << asInt(in->read(i64)) << "," << i64;
    int32_t i32 = 0;
    r << " 4:" << asInt(in->read(i32)) << "," << i32;
    int16_t i16 = 0;
    r << " 5:" << asInt(in->read(i16)) << "," << int32_t(i16);
    int8_t i8 = 0;
    r << " 6:" << asInt(in->read(i8)) << "," << int32_t(i8);
    double d = 0;
    r << " 7:" << asInt(in->read(d)) << "," << d;
    float f = 0;
    r << " 8:" << asInt(in->read(f)) << "," << double(f);
    uint64_t u64 = 0;
    r << " 9:" << asInt(in->read(u64)) << "," << u64;
    uint32_t u32 = 0;
    r << " 10:" << asInt(in->read(u32)) << "," << u32;
    uint16_t u16 = 0;
    r << " 11:" << asInt(in->read(u16)) << "," << uint32_t(u16);
    uint8_t u8 = 0;
    r << " 12:" << asInt(in->read(u8)) << "," << uint32_t(u8);
    char raw[4] = {};
    r << " 13:" << in->readRaw(raw, 3) << "," << std::string(raw);
    int16_t pair[2] = {};
    r << " 14:" << in->readBlock(pair, 2, 2) << "," << int32_t(pair[0]) << "," << int32_t(pair[1]);
    r << " 15:" << int32_t(in->readInt8());
    r << " 16:" << int32_t(in->readInt16());
    r << " 17:" << in->readInt32();
    r << " 18:" << in->readInt64();
    r << " 19:" << uint32_t(in->readUInt8());
    r << " 20:" << uint32_t(in->readUInt16());
    r << " 21:" << in->readUInt32();
    r << " 22:" << in->readUInt64();
    r << " 23:" << double(in->readFloat());
    r << " 24:" << in->readDouble();
    r << " 25:" << in->readString().bytes();
    return r.copyTo(report, size);
}

extern "C" __declspec(dllexport) int32_t probeRandomAccess(RandomAccess* stream, char* report, int32_t size)
{
    Report r;
    r << "seek:" << stream->seek(3, 0);
    r << " tell:" << stream->tell();
    r << " skip:" << asInt(stream->skip(2));
    r << " truncate:" << stream->truncate();
    return r.copyTo(report, size);
}

// Drives every buffer and allocator slot on a fresh growable buffer, ending
// with detach and the allocator contract that comes with it.
extern "C" __declspec(dllexport) int32_t probeStreamBuffer(IStreamBuffer* buffer, char* report, int32_t size)
{
    Report r;
    r << "addRef:" << buffer->addRef();
    r << " write:" << buffer->write("hello", 5);
    r << " seek:" << buffer->seek(1, 0);
    char two[3] = {};
    r << " read:" << buffer->read(two, 2) << "," << std::string(two);
    r << " data:" << std::string(reinterpret_cast<const char*>(buffer->data()), 5);
    r << " size:" << buffer->size();
    r << " truncate:" << buffer->truncate();
    r << " release:" << buffer->release();
    uint8_t* block = nullptr;
    uint32_t blockSize = 0;
    Allocator* allocator = buffer->detach(&block, &blockSize);
    r << " detach:" << blockSize << "," << std::string(reinterpret_cast<const char*>(block), blockSize);
    if (allocator) {
        void* spare = allocator->allocate(16);
        void* grown = allocator->reallocate(spare, 32);
        allocator->deallocate(grown ? grown : spare);
        allocator->deallocate(block);
        r << " allocatorRelease:" << allocator->release();
    }
    return r.copyTo(report, size);
}

// Reads a 32-bit value from a stream too short for it and reports the
// plug-in's exception as caught here: code, and the name its own typeName gives.
extern "C" __declspec(dllexport) int32_t probeCatchShortRead(InputStream* in, char* report, int32_t size)
{
    Report r;
    try {
        in->readInt32();
        r << "no exception";
    } catch (const StreamBufferException& e) {
        r << "StreamBufferException code:" << e.code << " name:" << e.typeName().bytes();
    } catch (...) {
        r << "other exception";
    }
    return r.copyTo(report, size);
}

extern "C" __declspec(dllexport) int32_t probeCatchShortReadAsBase(InputStream* in, char* report, int32_t size)
{
    Report r;
    try {
        in->readInt32();
        r << "no exception";
    } catch (const Exception& e) {
        r << "Exception name:" << e.typeName().bytes();
    }
    return r.copyTo(report, size);
}

enum ThrowMode : int32_t { PassThrough = 0, Rethrow = 1, OwnException = 2 };

// Lets an exception leave the engine toward the plug-in's caller.
extern "C" __declspec(dllexport) void probeThrow(InputStream* in, int32_t mode)
{
    if (mode == OwnException) {
        throw StreamBufferException(nullptr, 7);
    }
    if (mode == Rethrow) {
        try {
            in->readInt64();
        } catch (const StreamBufferException&) {
            throw;
        }
        return;
    }
    in->readInt64();
}
