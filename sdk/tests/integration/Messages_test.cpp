// The bytes the host receives for every message type, against the published
// layout, built here independently of the SDK and of the test host's decoders.
#include "SdkTestSupport.h"

#include <filesystem>
#include <vector>

using namespace halvtest;

namespace {

// An expected message: its type and size, zero-filled, then fields.
struct Expected {
    std::vector<uint8_t> bytes;
    Expected(uint32_t type, size_t size, const std::vector<uint8_t>& payload = {}) : bytes(size, 0) {
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        put32(0, type).put32(4, static_cast<uint32_t>(bytes.size() - 8));
    }
    Expected& put32(size_t offset, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
        return *this;
    }
    Expected& units(size_t offset, const std::u16string& text) {
        for (size_t i = 0; i < text.size(); ++i) {
            bytes[offset + 2 * i] = static_cast<uint8_t>(text[i]);
            bytes[offset + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
        }
        return *this;
    }
};

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
    Expected withIcon(3, 1032, icon);
    withIcon.units(8, u"com.example.applet").units(264, u"Applet \u00e9").units(520, kExecutablePath);
    const std::vector<std::vector<uint8_t>> expected = {
        withIcon.bytes,
        Expected(4, 1544).units(8, u"a.png").units(520, u"/tmp/a.png").units(1032, u"image").bytes,
        // Cut to the field, with no terminator.
        Expected(4, 1544).units(8, cut256).units(520, cut256).bytes,
        Expected(5, 1032, content).units(8, u"c.bin").bytes,
        Expected(5, 1032, {utf8.begin(), utf8.end()}).units(8, u"page.html").units(520, u"x").bytes,
        Expected(6, 528, bitmap).units(8, u"i.raw").put32(520, 2).put32(524, 3).bytes,
        Expected(7, 520).units(8, u"ab").bytes,
        Expected(8, 780).units(12, u"t").units(268, u"p").units(524, pairAtEnd.substr(0, 128)).bytes,
        Expected(8, 780).put32(8, 1).units(12, cut128).units(268, u"color").units(524, u"red").bytes,
        Expected(9, 268, {0xc3, 0xbc, '<', 'b', '>'}).units(12, u"x").bytes,
        Expected(9, 268).put32(8, 1).units(12, u"k").bytes,
        Expected(5, 1032, chunk).units(8, u"c").bytes,
        Expected(5, 1032, chunkAndOne).units(8, u"c").bytes,
        Expected(6, 528, big).units(8, u"i").put32(520, 500).put32(524, 450).bytes,
        Expected(9, 268, {bigText.begin(), bigText.end()}).units(12, u"t").bytes,
        Expected(2, 1032).units(8, u"plain").units(520, kExecutablePath).bytes,
    };
    ASSERT_TRUE(host->waitForMessages(expected.size(), kDeadline));
    const auto messages = host->messages();
    ASSERT_EQ(messages.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(messages[i].raw, expected[i]) << "message " << i;
    EXPECT_EQ(messages[0].friendlyName(), "Applet \xc3\xa9") << "the test host decodes texts too";
}
