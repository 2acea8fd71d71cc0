#include "MessageReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace kesh::host;

namespace {

using Bytes = std::vector<std::uint8_t>;

void putU32(Bytes& b, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[offset + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    }
}

void putText(Bytes& b, std::size_t offset, const std::u16string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        b[offset + 2 * i] = std::uint8_t(text[i]);
        b[offset + 2 * i + 1] = std::uint8_t(text[i] >> 8);
    }
}

Bytes message(std::uint32_t type, std::size_t total) {
    Bytes b(total, 0);
    putU32(b, 0, type);
    putU32(b, 4, std::uint32_t(total - 8));
    return b;
}

Bytes withPayload(Bytes b, const Bytes& payload) {
    b.insert(b.end(), payload.begin(), payload.end());
    putU32(b, 4, std::uint32_t(b.size() - 8));
    return b;
}

Bytes contentMessage(const std::u16string& name, const std::string& body) {
    Bytes b = message(5, 1032);
    putText(b, 8, name);
    return withPayload(b, Bytes(body.begin(), body.end()));
}

std::vector<HostMessage> readAll(MessageReader& reader, const Bytes& bytes, std::size_t piece) {
    std::vector<HostMessage> out;
    for (std::size_t i = 0; i < bytes.size(); i += piece) {
        const std::size_t n = std::min(piece, bytes.size() - i);
        EXPECT_TRUE(reader.feed(std::span(bytes.data() + i, n), out)) << reader.error();
    }
    return out;
}

} // namespace

TEST(MessageReader, DecodesEveryMessageTypeFromItsFields) {
    Bytes stream;
    Bytes reg = message(2, 1032);
    putText(reg, 8, u"com.example.applet");
    putText(reg, 264, u"Example");
    putText(reg, 520, u"/usr/bin/example");
    Bytes icon = message(3, 83976);
    putText(icon, 8, u"id");
    icon[1032] = 0xAB;
    icon.back() = 0xCD;
    Bytes file = message(4, 1544);
    putText(file, 8, u"wow.gif");
    putText(file, 520, u"/tmp/wow.gif");
    putText(file, 1032, u"image");
    Bytes image = message(6, 528);
    putText(image, 8, u"dot.png");
    putU32(image, 520, 2);
    putU32(image, 524, 1);
    image = withPayload(image, Bytes(8, 7));
    Bytes index = message(7, 520);
    putText(index, 8, u"ab");
    Bytes prop = message(8, 780);
    putU32(prop, 8, 1);
    putText(prop, 12, u"hot");
    putText(prop, 268, u"style");
    putText(prop, 524, u"color:red");
    Bytes tagContent = message(9, 268);
    putText(tagContent, 12, u"title");
    tagContent = withPayload(tagContent, Bytes{'H', 'i'});
    for (const Bytes* m : {&reg, &icon, &file, &image, &index, &prop, &tagContent}) {
        stream.insert(stream.end(), m->begin(), m->end());
    }
    const Bytes content = contentMessage(u"page.html", "<p>x</p>");
    stream.insert(stream.end(), content.begin(), content.end());

    MessageReader reader;
    const auto out = readAll(reader, stream, stream.size());
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out[0].type, MessageType::Registration);
    EXPECT_EQ(out[0].identifier, "com.example.applet");
    EXPECT_EQ(out[0].friendlyName, "Example");
    EXPECT_EQ(out[0].executablePath, "/usr/bin/example");
    EXPECT_EQ(out[1].type, MessageType::RegistrationWithIcon);
    ASSERT_EQ(out[1].payload.size(), kIconBytes);
    EXPECT_EQ(out[1].payload.front(), 0xAB);
    EXPECT_EQ(out[1].payload.back(), 0xCD);
    EXPECT_EQ(out[2].fileName, "wow.gif");
    EXPECT_EQ(out[2].filePath, "/tmp/wow.gif");
    EXPECT_EQ(out[2].fileType, "image");
    EXPECT_EQ(out[3].width, 2);
    EXPECT_EQ(out[3].height, 1);
    EXPECT_EQ(out[3].payload, Bytes(8, 7));
    EXPECT_EQ(out[4].fileName, "ab");
    EXPECT_TRUE(out[5].byClass);
    EXPECT_EQ(out[5].tag, "hot");
    EXPECT_EQ(out[5].property, "style");
    EXPECT_EQ(out[5].value, "color:red");
    EXPECT_FALSE(out[6].byClass);
    EXPECT_EQ(out[6].tag, "title");
    EXPECT_EQ(std::string(out[6].payload.begin(), out[6].payload.end()), "Hi");
    EXPECT_EQ(out[7].fileName, "page.html");
    EXPECT_EQ(std::string(out[7].payload.begin(), out[7].payload.end()), "<p>x</p>");
}

TEST(MessageReader, GivesTheSameMessagesWhateverTheReadSizes) {
    Bytes stream;
    std::string big(300001, 'z');
    for (const Bytes& m :
         {contentMessage(u"a", "first"), contentMessage(u"b", big), contentMessage(u"c", "")}) {
        stream.insert(stream.end(), m.begin(), m.end());
    }
    for (std::size_t piece : {std::size_t(1), std::size_t(7), std::size_t(8), std::size_t(1031),
                              std::size_t(65536), stream.size()}) {
        MessageReader reader;
        const auto out = readAll(reader, stream, piece);
        ASSERT_EQ(out.size(), 3u) << "piece " << piece;
        EXPECT_EQ(out[0].payload.size(), 5u);
        EXPECT_EQ(out[1].payload.size(), big.size());
        EXPECT_EQ(out[1].payload.back(), 'z');
        EXPECT_TRUE(out[2].payload.empty());
        EXPECT_FALSE(reader.midMessage());
    }
    // A message short of its last byte is held back, not cut.
    MessageReader reader;
    const auto held = readAll(reader, Bytes(stream.begin(), stream.end() - 1), stream.size());
    EXPECT_EQ(held.size(), 2u);
    EXPECT_TRUE(reader.midMessage());
}

TEST(MessageReader, RefusesWrongLengthsUnknownTypesAndBadFields) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    Bytes shortIndex = message(7, 520);
    putU32(shortIndex, 4, 511);
    Bytes longRegistration = message(2, 1032);
    putU32(longRegistration, 4, 1025);
    Bytes shortContent = message(5, 1032);
    putU32(shortContent, 4, 1000);
    Bytes hugeContent = message(5, 1032);
    putU32(hugeContent, 4, 0xFFFFFFFFu);
    Bytes badImage = message(6, 528);
    putU32(badImage, 520, 3);
    putU32(badImage, 524, 3);
    badImage = withPayload(badImage, Bytes(35, 0));
    Bytes negativeImage = message(6, 528);
    putU32(negativeImage, 520, 0xFFFFFFFFu);
    putU32(negativeImage, 524, 0xFFFFFFFCu);
    negativeImage = withPayload(negativeImage, Bytes(16, 0));
    Bytes badSelector = message(8, 780);
    putU32(badSelector, 8, 2);
    const std::vector<Case> cases = {
        {"record type 1 from an applet", message(1, 272)},
        {"type 0", message(0, 16)},
        {"type 10", message(10, 16)},
        {"index of 511 bytes", shortIndex},
        {"registration of 1025 bytes", longRegistration},
        {"content shorter than its fields", shortContent},
        {"content of 4 GiB", hugeContent},
        {"image whose size is not width x height x 4", badImage},
        {"image of negative width and height", negativeImage},
        {"tag property with selector kind 2", badSelector},
    };
    for (const auto& c : cases) {
        MessageReader reader(1024 * 1024);
        std::vector<HostMessage> out;
        EXPECT_FALSE(reader.feed(c.bytes, out)) << c.what;
        EXPECT_TRUE(reader.failed()) << c.what;
        EXPECT_FALSE(reader.error().empty()) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
        const Bytes good = contentMessage(u"a", "x");
        EXPECT_FALSE(reader.feed(good, out)) << "a failed reader stays failed: " << c.what;
    }
}

TEST(MessageReader, RefusesAnOversizedPayloadFromItsHeaderAlone) {
    MessageReader reader(1000);
    Bytes header = message(5, 1032);
    putU32(header, 4, 1024 + 1001);
    std::vector<HostMessage> out;
    // Only the 8 header bytes: the size is judged before any payload is buffered.
    EXPECT_FALSE(reader.feed(std::span(header.data(), 8), out));
    EXPECT_NE(reader.error().find("1001"), std::string::npos) << reader.error();
}

TEST(MessageReader, KeepsTheMessagesBeforeAMalformedOne) {
    Bytes stream = contentMessage(u"a", "ok");
    const Bytes bad = message(42, 16);
    stream.insert(stream.end(), bad.begin(), bad.end());
    MessageReader reader;
    std::vector<HostMessage> out;
    EXPECT_FALSE(reader.feed(stream, out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].fileName, "a");
}

TEST(Utf16Field, StopsAtTheFirstZeroAndDecodesSurrogatesAndFullFields) {
    Bytes field(8, 0);
    putText(field, 0, u"\U0001F600");
    EXPECT_EQ(decodeUtf16Field(field), "\xF0\x9F\x98\x80");
    Bytes full(6, 0);
    putText(full, 0, u"abc");
    EXPECT_EQ(decodeUtf16Field(full), "abc");
    Bytes lone(6, 0);
    putText(lone, 0, u"a\xD800");
    EXPECT_EQ(decodeUtf16Field(lone), "a\xEF\xBF\xBD");
    Bytes gap(8, 0);
    putText(gap, 0, u"a");
    gap[4] = 'b'; // bytes after the terminator are not part of the text
    EXPECT_EQ(decodeUtf16Field(gap), "a");
}
