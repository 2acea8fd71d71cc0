#include "MessageReader.h"
#include "WireApplet.h"

#include <gtest/gtest.h>

using namespace kesh::host;
using kesh::test::u16;
using kesh::test::Wire;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes join(const std::vector<Wire>& messages) {
    Bytes bytes;
    for (const auto& m : messages) {
        bytes.insert(bytes.end(), m.bytes.begin(), m.bytes.end());
    }
    return bytes;
}

Wire content(const std::string& name, const std::string& body) {
    return Wire(5, 1032).text(8, u16(name)).text(520, u16("text/html")).payload(body);
}

std::vector<HostMessage> readAll(MessageReader& reader, const Bytes& bytes, std::size_t piece) {
    std::vector<HostMessage> out;
    for (std::size_t i = 0; i < bytes.size(); i += piece) {
        EXPECT_TRUE(reader.feed(std::span(bytes.data() + i, std::min(piece, bytes.size() - i)), out))
            << reader.error();
    }
    return out;
}

} // namespace

// A message split across reads, or reads holding several, must come out the same.
TEST(MessageReader, GivesTheSameMessagesWhateverTheReadSizes) {
    const std::string big(300001, 'z');
    const Bytes stream = join({content("a", "first"), content("b", big), content("c", "")});
    for (std::size_t piece : {std::size_t(1), std::size_t(7), std::size_t(8), std::size_t(1031),
                              std::size_t(65536), stream.size()}) {
        MessageReader reader;
        const auto out = readAll(reader, stream, piece);
        ASSERT_EQ(out.size(), 3u) << "piece " << piece;
        EXPECT_EQ(out[0].fileName, "a");
        EXPECT_EQ(out[0].fileType, "text/html");
        EXPECT_EQ(std::string(out[0].payload.begin(), out[0].payload.end()), "first");
        EXPECT_EQ(out[1].payload.size(), big.size());
        EXPECT_EQ(out[1].payload.back(), 'z');
        EXPECT_TRUE(out[2].payload.empty());
        EXPECT_FALSE(reader.midMessage());
    }
    // A message short of its last byte is held back, not cut.
    MessageReader reader;
    EXPECT_EQ(readAll(reader, Bytes(stream.begin(), stream.end() - 1), stream.size()).size(), 2u);
    EXPECT_TRUE(reader.midMessage());
}

// Each is refused as soon as its header (or fixed part) shows it wrong; what came before still counts.
TEST(MessageReader, RefusesWrongLengthsUnknownTypesAndBadFields) {
    const std::vector<std::pair<const char*, Wire>> cases = {
        {"a record of type 1, from an applet", Wire(1, 272)},
        {"type 0", Wire(0, 16)},
        {"type 10", Wire(10, 16)},
        {"an index of 511 bytes", Wire(7, 520).u32(4, 511)},
        {"a registration of 1025 bytes", Wire(2, 1032).u32(4, 1025)},
        {"a content shorter than its fields", Wire(5, 1032).u32(4, 1000)},
        {"a content of 4 GiB, header alone", Wire(5, 8).u32(4, 0xFFFFFFFF)},
        {"a content past the limit, header alone", Wire(5, 8).u32(4, 1024 + 1024 * 1024 + 1)},
        {"an image not width x height x 4", Wire(6, 528).u32(520, 3).u32(524, 3).payload(std::string(35, 0))},
        {"an image of negative sides",
         Wire(6, 528).u32(520, 0xFFFFFFFF).u32(524, 0xFFFFFFFC).payload("0123456789abcdef")},
        {"a tag property of selector kind 2", Wire(8, 780).u32(8, 2)},
    };
    for (const auto& [what, bad] : cases) {
        MessageReader reader(1024 * 1024);
        std::vector<HostMessage> out;
        EXPECT_FALSE(reader.feed(join({content("ok", "x"), bad}), out)) << what;
        EXPECT_FALSE(reader.error().empty()) << what;
        ASSERT_EQ(out.size(), 1u) << what;
        EXPECT_EQ(out[0].fileName, "ok");
        EXPECT_FALSE(reader.feed(content("a", "x").bytes, out)) << "a failed reader stays failed: " << what;
    }
}

// Texts stop at their first zero unit (or fill their field) and decode surrogate pairs.
TEST(Utf16Field, StopsAtTheFirstZeroAndDecodesSurrogatesAndFullFields) {
    const std::pair<Bytes, std::string> cases[] = {
        {Wire(0, 16).text(8, u"\U0001F600").bytes, "\xF0\x9F\x98\x80"},
        {Wire(0, 14).text(8, u"abc").bytes, "abc"},
        {Wire(0, 14).text(8, u"a\xD800").bytes, "a\xEF\xBF\xBD"},
        {Wire(0, 16).text(8, u"a").text(12, u"b").bytes, "a"},
    };
    for (const auto& [field, text] : cases) {
        EXPECT_EQ(decodeUtf16Field(std::span(field).subspan(8)), text);
    }
}
