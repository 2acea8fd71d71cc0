// The bytes the host receives for every message type, against the published
// layout, built apart from the SDK and from the test host's decoders.
#include "SdkTestSupport.h"
#include "WireMessage.h"

#include <filesystem>
#include <vector>

using namespace halvtest;

namespace {

const std::u16string kExecutablePath = std::filesystem::read_symlink("/proc/self/exe").u16string();

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

class Messages : public SdkTest {};

} // namespace

TEST_F(Messages, EveryMessageHasItsExactLayout) {
    const std::vector<uint8_t> icon = pattern(HALV_KESH_ICON_BYTES), content = pattern(10),
                               bitmap = pattern(24);
    // Payloads that end exactly at a chunk of 300,000 bytes, just after one,
    // and after several.
    const std::vector<uint8_t> chunk = pattern(300000), chunkAndOne = pattern(300001), big = pattern(900000);
    const std::string bigText(600001, 'z');
    const std::u16string longText(300, u'n');
    // A pair cut at the field's end leaves its first half, unchanged.
    const std::u16string pairAtEnd = std::u16string(127, u'v') + u"\U0001F600";
    const std::string utf8 = "<p>Gr\xc3\xbc\xc3\x9f"
                             "e \xe2\x82\xac</p>";
    ASSERT_TRUE(HalvKeshInitWithIcon(CFSTR("com.example.applet"), CFSTR("Applet \u00e9"), nullptr,
                                     const_cast<uint8_t*>(icon.data())));
    EXPECT_TRUE(HalvKeshAddFileAs(CFSTR("/tmp/a.png"), CFSTR("a.png"), CFSTR("image")));
    EXPECT_TRUE(HalvKeshAddFileAs(text(longText).get(), text(longText).get(), CFSTR("")));
    EXPECT_TRUE(HalvKeshAddContentAs(content.data(), 10, CFSTR("c.bin"), CFSTR("")));
    EXPECT_TRUE(
        HalvKeshAddUTF8StringAs(CFSTR("<p>Gr\u00fc\u00dfe \u20ac</p>"), CFSTR("page.html"), CFSTR("x")));
    EXPECT_TRUE(HalvKeshAddImageFromBitmap(const_cast<uint8_t*>(bitmap.data()), 2, 3, CFSTR("i.raw")));
    EXPECT_TRUE(HalvKeshSetIndex(CFSTR("ab")));
    EXPECT_TRUE(HalvKeshSetTagPropertyById(CFSTR("t"), CFSTR("p"), text(pairAtEnd).get()));
    EXPECT_TRUE(HalvKeshSetTagsPropertyByClass(text(longText).get(), CFSTR("color"), CFSTR("red")));
    EXPECT_TRUE(HalvKeshSetTagContentById(CFSTR("x"), CFSTR("\u00fc<b>")));
    EXPECT_TRUE(HalvKeshSetTagsContentByClass(CFSTR("k"), CFSTR("")));
    EXPECT_TRUE(HalvKeshAddContentAs(chunk.data(), 300000, CFSTR("c"), CFSTR("")));
    EXPECT_TRUE(HalvKeshAddContentAs(chunkAndOne.data(), 300001, CFSTR("c"), CFSTR("")));
    EXPECT_TRUE(HalvKeshAddImageFromBitmap(const_cast<uint8_t*>(big.data()), 500, 450, CFSTR("i")));
    EXPECT_TRUE(HalvKeshSetTagContentById(CFSTR("t"), text(bigText).get()));
    HalvKeshShutdown();
    ASSERT_TRUE(HalvKeshInit(CFSTR("plain"), CFSTR(""), nullptr));

    const std::u16string cut256 = longText.substr(0, 256), cut128 = longText.substr(0, 128);
    const std::vector<std::vector<uint8_t>> expected = {
        Wire(3, 1032)
            .payload(icon)
            .text(8, u"com.example.applet")
            .text(264, u"Applet \u00e9")
            .text(520, kExecutablePath)
            .bytes,
        Wire(4, 1544).text(8, u"a.png").text(520, u"/tmp/a.png").text(1032, u"image").bytes,
        // Cut to the field, with no terminator.
        Wire(4, 1544).text(8, cut256).text(520, cut256).bytes,
        Wire(5, 1032).payload(content).text(8, u"c.bin").bytes,
        Wire(5, 1032).payload(utf8).text(8, u"page.html").text(520, u"x").bytes,
        Wire(6, 528).payload(bitmap).text(8, u"i.raw").u32(520, 2).u32(524, 3).bytes,
        Wire(7, 520).text(8, u"ab").bytes,
        Wire(8, 780).text(12, u"t").text(268, u"p").text(524, pairAtEnd.substr(0, 128)).bytes,
        Wire(8, 780).u32(8, 1).text(12, cut128).text(268, u"color").text(524, u"red").bytes,
        Wire(9, 268).payload(std::string("\xc3\xbc<b>")).text(12, u"x").bytes,
        Wire(9, 268).u32(8, 1).text(12, u"k").bytes,
        Wire(5, 1032).payload(chunk).text(8, u"c").bytes,
        Wire(5, 1032).payload(chunkAndOne).text(8, u"c").bytes,
        Wire(6, 528).payload(big).text(8, u"i").u32(520, 500).u32(524, 450).bytes,
        Wire(9, 268).payload(bigText).text(12, u"t").bytes,
        Wire(2, 1032).text(8, u"plain").text(520, kExecutablePath).bytes,
    };
    ASSERT_TRUE(host->waitForMessages(expected.size(), kDeadline));
    const auto messages = host->messages();
    ASSERT_EQ(messages.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(messages[i].raw, expected[i]) << "message " << i;
}
