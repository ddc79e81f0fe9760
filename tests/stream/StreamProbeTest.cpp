// The stream objects of this executable driven from stream_probe.dll, which
// declares the interfaces on its own: slot order, argument and result passing
// and exceptions across the module boundary.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <sstream>
#include <string>

#include "RandomAccess.h"
#include "Stream.h"
#include "StreamBufferException.h"
#include "StreamTestSupport.h"
#include "stream/MemoryStream.h"
#include "stream/StreamBuffer.h"

using namespace Korvanta;
using streamtest::Bytes;
using streamtest::contents;

namespace {

HMODULE probeModule()
{
    static HMODULE module = [] {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string file(path);
        file = file.substr(0, file.find_last_of("\\/") + 1) + "stream_probe.dll";
        return LoadLibraryA(file.c_str());
    }();
    return module;
}

template <typename Function>
Function probe(const char* name)
{
    HMODULE module = probeModule();
    if (!module) {
        ADD_FAILURE() << "stream_probe.dll did not load";
        return nullptr;
    }
    FARPROC entry = GetProcAddress(module, name);
    if (!entry) {
        ADD_FAILURE() << name << " is not exported";
    }
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(entry));
}

using WriteProbe = void (*)(OutputStream*);
using ReportProbe = int32_t (*)(InputStream*, char*, int32_t);
using PositionProbe = int32_t (*)(RandomAccess*, char*, int32_t);
using BufferProbe = int32_t (*)(IStreamBuffer*, char*, int32_t);
using ThrowProbe = void (*)(InputStream*, int32_t);

template <typename Target, typename Probe>
std::string reportOf(Probe function, Target* target)
{
    char report[1024] = {};
    if (function) {
        function(target, report, sizeof report);
    }
    return report;
}

std::string hex(uint64_t value)
{
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

template <typename T>
std::string decimal(T value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

// Overrides every operation of both sides and notes which one the probe
// reached and with what; each read answers a value no other slot answers.
class RecordingStream : public Stream {
public:
    std::string log;

    bool atEnd() override { return note("atEnd", ""), true; }
    bool read(SharedString& value) override { return value = "in2", note("read(string)", ""), true; }
    bool read(int64_t& value) override { return value = -3, note("read(int64)", ""), true; }
    bool read(int32_t& value) override { return value = -4, note("read(int32)", ""), true; }
    bool read(int16_t& value) override { return value = -5, note("read(int16)", ""), true; }
    bool read(int8_t& value) override { return value = -6, note("read(int8)", ""), true; }
    bool read(double& value) override { return value = 7.5, note("read(double)", ""), true; }
    bool read(float& value) override { return value = 8.5f, note("read(float)", ""), true; }
    bool read(uint64_t& value) override { return value = 9, note("read(uint64)", ""), true; }
    bool read(uint32_t& value) override { return value = 10, note("read(uint32)", ""), true; }
    bool read(uint16_t& value) override { return value = 11, note("read(uint16)", ""), true; }
    bool read(uint8_t& value) override { return value = 12, note("read(uint8)", ""), true; }
    int32_t readRaw(void* destination, int32_t count) override
    {
        note("readRaw", decimal(count));
        std::memcpy(destination, "R13", 3);
        return 3;
    }
    int32_t readBlock(void* destination, int32_t elementSize, int32_t count) override
    {
        note("readBlock", decimal(elementSize) + "x" + decimal(count));
        const int16_t pair[2] = {14, 140};
        std::memcpy(destination, pair, sizeof pair);
        return 14;
    }
    int8_t readInt8() override { return note("readInt8", ""), -15; }
    int16_t readInt16() override { return note("readInt16", ""), -16; }
    int32_t readInt32() override { return note("readInt32", ""), -17; }
    int64_t readInt64() override { return note("readInt64", ""), -18; }
    uint8_t readUInt8() override { return note("readUInt8", ""), 19; }
    uint16_t readUInt16() override { return note("readUInt16", ""), 20; }
    uint32_t readUInt32() override { return note("readUInt32", ""), 21; }
    uint64_t readUInt64() override { return note("readUInt64", ""), 22; }
    float readFloat() override { return note("readFloat", ""), 23.5f; }
    double readDouble() override { return note("readDouble", ""), 24.5; }
    SharedString readString() override { return note("readString", ""), SharedString("s25"); }

    bool write(const SharedString& value) override { return note("write(string)", value.c_str()), true; }
    bool write(int64_t value) override { return note("write(int64)", decimal(value)), true; }
    bool write(int32_t value) override { return note("write(int32)", decimal(value)), true; }
    bool write(int16_t value) override { return note("write(int16)", decimal(value)), true; }
    bool write(int8_t value) override { return note("write(int8)", decimal(int(value))), true; }
    bool write(double value) override { return note("write(double)", decimal(value)), true; }
    bool write(float value) override { return note("write(float)", decimal(value)), true; }
    bool write(uint64_t value) override { return note("write(uint64)", hex(value)), true; }
    bool write(uint32_t value) override { return note("write(uint32)", hex(value)), true; }
    bool write(uint16_t value) override { return note("write(uint16)", hex(value)), true; }
    bool write(uint8_t value) override { return note("write(uint8)", hex(value)), true; }
    int32_t writeRaw(const void* source, int32_t count) override
    {
        return note("writeRaw", std::string(static_cast<const char*>(source), count)), count;
    }
    int32_t writeBlock(const void* source, int32_t elementSize, int32_t count) override
    {
        const int16_t* pair = static_cast<const int16_t*>(source);
        note("writeBlock", decimal(elementSize) + "x" + decimal(count) + ":" + hex(pair[0]) + "," + hex(pair[1]));
        return elementSize * count;
    }
    bool writeInt8(int8_t value) override { return note("writeInt8", decimal(int(value))), true; }
    bool writeInt16(int16_t value) override { return note("writeInt16", decimal(value)), true; }
    bool writeInt32(int32_t value) override { return note("writeInt32", decimal(value)), true; }
    bool writeInt64(int64_t value) override { return note("writeInt64", decimal(value)), true; }
    bool writeUInt8(uint8_t value) override { return note("writeUInt8", hex(value)), true; }
    bool writeUInt16(uint16_t value) override { return note("writeUInt16", hex(value)), true; }
    bool writeUInt32(uint32_t value) override { return note("writeUInt32", hex(value)), true; }
    bool writeUInt64(uint64_t value) override { return note("writeUInt64", hex(value)), true; }
    bool writeFloat(float value) override { return note("writeFloat", decimal(value)), true; }
    bool writeDouble(double value) override { return note("writeDouble", decimal(value)), true; }
    bool writeString(SharedString value) override { return note("writeString", value.c_str()), true; }

private:
    void note(const char* operation, const std::string& argument)
    {
        log += operation;
        if (!argument.empty()) {
            log += " " + argument;
        }
        log += "\n";
    }
};

class RecordingPosition : public RandomAccess {
public:
    std::string log;
    uint32_t seek(int32_t offset, int32_t origin) override
    {
        log += "seek " + decimal(offset) + "," + decimal(origin) + "\n";
        return 30;
    }
    uint32_t tell() override { return log += "tell\n", 41; }
    bool skip(int32_t count) override { return log += "skip " + decimal(count) + "\n", true; }
    uint32_t truncate() override { return log += "truncate\n", 44; }
};

// The bytes probeWriteEverySlot produces, value by value.
const Bytes everySlotBytes = {
    0x03, 0,    0,    0,    'o',  'n',  'e',         // string
    0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // int64 -2
    0xFD, 0xFF, 0xFF, 0xFF,                          // int32 -3
    0xFC, 0xFF,                                      // int16 -4
    0xFB,                                            // int8 -5
    0,    0,    0,    0,    0,    0,    0x1A, 0x40,  // double 6.5
    0,    0,    0xE8, 0x40,                          // float 7.25
    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,  // uint64
    0x06, 0x07, 0x08, 0x09,                          // uint32
    0x0B, 0x0A,                                      // uint16
    0xB1,                                            // uint8
    'r',  'a',  'w',                                 // raw
    0x01, 0x13, 0x02, 0x13,                          // block of two int16
    0xF2,                                            // writeInt8 -14
    0xF1, 0xFF,                                      // writeInt16 -15
    0xF0, 0xFF, 0xFF, 0xFF,                          // writeInt32 -16
    0xEF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // writeInt64 -17
    0xC2,                                            // writeUInt8
    0xC4, 0xC3,                                      // writeUInt16
    0xC8, 0xC7, 0xC6, 0xC5,                          // writeUInt32
    0xC9, 0,    0,    0,    0,    0,    0,    0x15,  // writeUInt64
    0,    0,    0xB4, 0xC1,                          // writeFloat -22.5
    0,    0,    0,    0,    0,    0xC0, 0x37, 0xC0,  // writeDouble -23.75
    0x04, 0,    0,    0,    'l',  'a',  's',  't',   // writeString
};

}  // namespace

TEST(StreamSlots, EveryOutputSlotReachesTheOperationOfItsNumber)
{
    RecordingStream stream;
    WriteProbe write = probe<WriteProbe>("probeWriteEverySlot");
    ASSERT_NE(write, nullptr);
    write(&stream);
    EXPECT_EQ(stream.log, "write(string) one\n"
                          "write(int64) -2\n"
                          "write(int32) -3\n"
                          "write(int16) -4\n"
                          "write(int8) -5\n"
                          "write(double) 6.5\n"
                          "write(float) 7.25\n"
                          "write(uint64) 0x807060504030201\n"
                          "write(uint32) 0x9080706\n"
                          "write(uint16) 0xa0b\n"
                          "write(uint8) 0xb1\n"
                          "writeRaw raw\n"
                          "writeBlock 2x2:0x1301,0x1302\n"
                          "writeInt8 -14\n"
                          "writeInt16 -15\n"
                          "writeInt32 -16\n"
                          "writeInt64 -17\n"
                          "writeUInt8 0xc2\n"
                          "writeUInt16 0xc3c4\n"
                          "writeUInt32 0xc5c6c7c8\n"
                          "writeUInt64 0x15000000000000c9\n"
                          "writeFloat -22.5\n"
                          "writeDouble -23.75\n"
                          "writeString last\n");
}

TEST(StreamSlots, EveryInputSlotReachesTheOperationOfItsNumber)
{
    RecordingStream stream;
    const std::string report = reportOf(probe<ReportProbe>("probeReadEverySlot"), static_cast<InputStream*>(&stream));
    EXPECT_EQ(report, "1:1 2:1,in2 3:1,-3 4:1,-4 5:1,-5 6:1,-6 7:1,7.500000 8:1,8.500000 9:1,9 10:1,10 11:1,11 12:1,12 "
                      "13:3,R13 14:14,14,140 15:-15 16:-16 17:-17 18:-18 19:19 20:20 21:21 22:22 23:23.500000 "
                      "24:24.500000 25:s25");
    EXPECT_EQ(stream.log,
              "atEnd\nread(string)\nread(int64)\nread(int32)\nread(int16)\nread(int8)\nread(double)\n"
              "read(float)\nread(uint64)\nread(uint32)\nread(uint16)\nread(uint8)\nreadRaw 3\nreadBlock 2x2\n"
              "readInt8\nreadInt16\nreadInt32\nreadInt64\nreadUInt8\nreadUInt16\nreadUInt32\nreadUInt64\n"
              "readFloat\nreadDouble\nreadString\n");
}

TEST(StreamSlots, EveryRandomAccessSlotReachesTheOperationOfItsNumber)
{
    RecordingPosition position;
    const std::string report =
        reportOf(probe<PositionProbe>("probeRandomAccess"), static_cast<RandomAccess*>(&position));
    EXPECT_EQ(report, "seek:30 tell:41 skip:1 truncate:44");
    EXPECT_EQ(position.log, "seek 3,0\ntell\nskip 2\ntruncate\n");
}

TEST(StreamSlots, MemoryStreamWrittenThroughEverySlotHoldsTheEncodedBytesAndReadsThemBack)
{
    StreamBuffer buffer;
    MemoryStream stream(&buffer);
    WriteProbe write = probe<WriteProbe>("probeWriteEverySlot");
    ASSERT_NE(write, nullptr);
    write(static_cast<OutputStream*>(&stream));
    EXPECT_EQ(contents(buffer), everySlotBytes);

    stream.seek(0, RandomAccess::FromStart);
    const std::string report = reportOf(probe<ReportProbe>("probeReadEverySlot"), static_cast<InputStream*>(&stream));
    EXPECT_EQ(report, "1:0 2:1,one 3:1,-2 4:1,-3 5:1,-4 6:1,-5 7:1,6.500000 8:1,7.250000 9:1,578437695752307201 "
                      "10:1,151521030 11:1,2571 12:1,177 13:3,raw 14:4,4865,4866 15:-14 16:-15 17:-16 18:-17 19:194 "
                      "20:50116 21:3318138824 22:1513209474796486857 23:-22.500000 24:-23.750000 25:last");
    EXPECT_TRUE(stream.atEnd());
}

TEST(StreamSlots, RandomAccessOfAMemoryStreamServesTheProbe)
{
    StreamBuffer buffer;
    MemoryStream stream(&buffer);
    stream.writeRaw("0123456789", 10);
    const std::string report = reportOf(probe<PositionProbe>("probeRandomAccess"), static_cast<RandomAccess*>(&stream));
    EXPECT_EQ(report, "seek:3 tell:3 skip:1 truncate:5");
    EXPECT_EQ(contents(buffer), (Bytes{'0', '1', '2', '3', '4'}));
}

TEST(StreamSlots, BufferAndAllocatorSlotsServeTheProbeUpToDetach)
{
    StreamBuffer* buffer = new StreamBuffer;
    const std::string report = reportOf(probe<BufferProbe>("probeStreamBuffer"), static_cast<IStreamBuffer*>(buffer));
    EXPECT_EQ(report, "addRef:2 write:5 seek:1 read:2,el data:hello size:5 truncate:3 release:1 detach:3,hel "
                      "allocatorRelease:0");
    EXPECT_EQ(buffer->size(), 0u);
    EXPECT_EQ(buffer->release(), 0);
}

TEST(StreamCrossModule, EngineCatchesTheStreamsExceptionByTypeAndReadsItsCodeAndName)
{
    uint8_t two[2] = {1, 2};
    StreamBuffer buffer(two, sizeof two);
    MemoryStream stream(&buffer);
    InputStream* in = &stream;
    EXPECT_EQ(reportOf(probe<ReportProbe>("probeCatchShortRead"), in),
              "StreamBufferException code:2 name:Korvanta::StreamBufferException");
    EXPECT_EQ(stream.tell(), 0u);
    EXPECT_EQ(reportOf(probe<ReportProbe>("probeCatchShortReadAsBase"), in),
              "Exception name:Korvanta::StreamBufferException");
}

TEST(StreamCrossModule, CallerCatchesExceptionsThatLeaveTheEngine)
{
    uint8_t two[2] = {1, 2};
    StreamBuffer buffer(two, sizeof two);
    MemoryStream stream(&buffer);
    ThrowProbe throwing = probe<ThrowProbe>("probeThrow");
    ASSERT_NE(throwing, nullptr);

    for (int32_t mode : {0, 1}) {  // passing through the engine, and rethrown by it
        try {
            throwing(&stream, mode);
            ADD_FAILURE() << "mode " << mode << ": no exception";
        } catch (const StreamBufferException& e) {
            EXPECT_EQ(e.code, StreamBufferException::ReadPastEnd) << "mode " << mode;
            EXPECT_EQ(e.buffer, &buffer) << "mode " << mode;
        }
    }

    try {
        throwing(&stream, 2);  // made and thrown by the engine itself
        ADD_FAILURE() << "no exception from the engine";
    } catch (const StreamBufferException& e) {
        EXPECT_EQ(e.code, 7);
        EXPECT_EQ(e.buffer, nullptr);
    }
    try {
        throwing(&stream, 2);
        ADD_FAILURE() << "no exception from the engine";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.typeName().c_str(), "Korvanta::StreamBufferException");
    }
}
