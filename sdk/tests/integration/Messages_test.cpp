// The bytes the host receives for every message type.
#include "SdkTestSupport.h"

#include <climits>
#include <unistd.h>
#include <vector>

using namespace halvtest;

namespace {

// Builds an expected message from the published layout, independently of the
// SDK and of the test host's decoders.
struct Expected {
    std::vector<uint8_t> bytes;
    Expected(uint32_t type, size_t size) : bytes(size, 0) {
        put32(0, type);
        put32(4, static_cast<uint32_t>(size - 8));
    }
    Expected& put32(size_t offset, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
        return *this;
    }
    Expected& putUnits(size_t offset, const std::u16string& units) {
        for (size_t i = 0; i < units.size(); ++i) {
            bytes[offset + 2 * i] = static_cast<uint8_t>(units[i]);
            bytes[offset + 2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
        }
        return *this;
    }
    Expected& append(const std::vector<uint8_t>& payload) {
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        return *this;
    }
};

std::u16string executablePathUnits() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    std::u16string units;
    for (ssize_t i = 0; i < length; ++i)
        units += static_cast<char16_t>(static_cast<unsigned char>(path[i])); // ASCII build paths
    return units;
}

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

class Messages : public SdkTest {
protected:
    // Init, then run `send`, and return the messages after the registration.
    template <typename Send> std::vector<Message> sentAfterInit(size_t count, Send send) {
        EXPECT_TRUE(init());
        send();
        EXPECT_TRUE(host->waitForMessages(count + 1, kDeadline));
        auto all = host->messages();
        return {all.begin() + 1, all.end()};
    }
};

} // namespace

TEST_F(Messages, RegistrationCarriesIdentityTheExecutablePathAndTheIconUnchanged) {
    ASSERT_TRUE(HalvKeshInit(CFSTR("com.example.applet"), CFSTR("Applet \u00e9"), nullptr));
    HalvKeshShutdown();
    std::vector<uint8_t> icon = pattern(HALV_KESH_ICON_BYTES);
    ASSERT_TRUE(HalvKeshInitWithIcon(CFSTR("id"), CFSTR(""), nullptr, icon.data()));
    ASSERT_TRUE(host->waitForMessages(2, kDeadline));
    Expected expected(2, 1032);
    expected.putUnits(8, u"com.example.applet")
        .putUnits(264, u"Applet \u00e9")
        .putUnits(520, executablePathUnits());
    EXPECT_EQ(host->messages()[0].raw, expected.bytes);
    Expected withIcon(3, 83976);
    withIcon.putUnits(8, u"id").putUnits(520, executablePathUnits());
    std::copy(icon.begin(), icon.end(), withIcon.bytes.begin() + 1032);
    EXPECT_EQ(host->messages()[1].raw, withIcon.bytes);
}

TEST_F(Messages, EverySendTypeHasItsExactLayout) {
    std::vector<uint8_t> content = pattern(10);
    std::vector<uint8_t> bitmap = pattern(2 * 3 * 4);
    const auto sent = sentAfterInit(9, [&] {
        EXPECT_TRUE(HalvKeshAddFileAs(CFSTR("/tmp/a.png"), CFSTR("a.png"), CFSTR("image")));
        EXPECT_TRUE(HalvKeshAddContentAs(content.data(), 10, CFSTR("c.bin"), CFSTR("")));
        EXPECT_TRUE(HalvKeshAddImageFromBitmap(bitmap.data(), 2, 3, CFSTR("i.raw")));
        EXPECT_TRUE(HalvKeshSetIndex(CFSTR("ab")));
        EXPECT_TRUE(HalvKeshSetTagPropertyById(CFSTR("t"), CFSTR("p"), CFSTR("v")));
        EXPECT_TRUE(HalvKeshSetTagsPropertyByClass(CFSTR("cls"), CFSTR("color"), CFSTR("red")));
        EXPECT_TRUE(HalvKeshSetTagContentById(CFSTR("x"), CFSTR("\u00fc<b>")));
        EXPECT_TRUE(HalvKeshSetTagsContentByClass(CFSTR("k"), CFSTR("")));
        EXPECT_TRUE(
            HalvKeshAddUTF8StringAs(CFSTR("<p>Gr\u00fc\u00dfe \u20ac</p>"), CFSTR("page.html"), CFSTR("x")));
    });
    ASSERT_EQ(sent.size(), 9u);

    EXPECT_EQ(
        sent[0].raw,
        Expected(4, 1544).putUnits(8, u"a.png").putUnits(520, u"/tmp/a.png").putUnits(1032, u"image").bytes);
    EXPECT_EQ(sent[1].raw, Expected(5, 1032).putUnits(8, u"c.bin").append(content).put32(4, 1034).bytes);
    EXPECT_EQ(sent[2].raw, Expected(6, 528)
                               .putUnits(8, u"i.raw")
                               .put32(520, 2)
                               .put32(524, 3)
                               .append(bitmap)
                               .put32(4, 544)
                               .bytes);
    const std::vector<uint8_t> index{7, 0, 0, 0, 0, 2, 0, 0, 0x61, 0, 0x62, 0};
    EXPECT_TRUE(std::equal(index.begin(), index.end(), sent[3].raw.begin()));
    EXPECT_EQ(sent[3].raw.size(), 520u);
    EXPECT_EQ(std::count(sent[3].raw.begin() + 12, sent[3].raw.end(), 0), 508);
    EXPECT_EQ(sent[4].raw,
              Expected(8, 780).put32(8, 0).putUnits(12, u"t").putUnits(268, u"p").putUnits(524, u"v").bytes);
    EXPECT_EQ(sent[5].raw, Expected(8, 780)
                               .put32(8, 1)
                               .putUnits(12, u"cls")
                               .putUnits(268, u"color")
                               .putUnits(524, u"red")
                               .bytes);
    EXPECT_EQ(sent[6].raw,
              Expected(9, 268).putUnits(12, u"x").append({0xc3, 0xbc, '<', 'b', '>'}).put32(4, 265).bytes);
    EXPECT_EQ(sent[7].raw, Expected(9, 268).put32(8, 1).putUnits(12, u"k").bytes);
    // UTF-8 content: the text's bytes, without mark or terminator.
    const std::string utf8 = "<p>Gr\xc3\xbc\xc3\x9f"
                             "e \xe2\x82\xac</p>";
    EXPECT_EQ(sent[8].raw, Expected(5, 1032)
                               .putUnits(8, u"page.html")
                               .putUnits(520, u"x")
                               .append({utf8.begin(), utf8.end()})
                               .put32(4, static_cast<uint32_t>(1024 + utf8.size()))
                               .bytes);
}

TEST_F(Messages, TextsAreCutAtTheirFieldWithoutTerminatorAndZeroFilledOtherwise) {
    const std::u16string longName(300, u'n');
    const std::u16string longTag(200, u't');
    // A pair cut at the field's end leaves its first half, unchanged.
    const std::u16string pairAtEnd = std::u16string(127, u'v') + u"\U0001F600";
    const auto sent = sentAfterInit(2, [&] {
        EXPECT_TRUE(HalvKeshAddFileAs(text(longName).get(), text(longName).get(), CFSTR("")));
        EXPECT_TRUE(HalvKeshSetTagPropertyById(text(longTag).get(), CFSTR("p"), text(pairAtEnd).get()));
    });
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].units(8, 512), longName.substr(0, 256) + longName.substr(0, 256))
        << "fileName runs straight into filePath: no terminator";
    EXPECT_EQ(
        sent[0].raw,
        Expected(4, 1544).putUnits(8, longName.substr(0, 256)).putUnits(520, longName.substr(0, 256)).bytes);
    EXPECT_EQ(sent[1].units(12, 128), longTag.substr(0, 128));
    EXPECT_EQ(sent[1].units(524, 128), pairAtEnd.substr(0, 128));
    EXPECT_EQ(sent[1].raw[268 + 2], 0) << "a short text is followed by zeros";
}

TEST_F(Messages, LargePayloadsArriveWholeAndInOrderAcrossChunks) {
    const std::vector<size_t> sizes{0, 300000, 300001, 900000};
    std::vector<std::vector<uint8_t>> payloads;
    for (size_t size : sizes) {
        payloads.push_back(pattern(size + 1));
        payloads.back().erase(payloads.back().begin()); // a different phase per size
    }
    std::vector<uint8_t> tagContent(600001, 'z');
    uint8_t none = 0;
    const auto sent = sentAfterInit(sizes.size() + 3, [&] {
        for (size_t i = 0; i < sizes.size(); ++i)
            EXPECT_TRUE(HalvKeshAddContentAs(payloads[i].data(), static_cast<int>(sizes[i]),
                                             text("f" + std::to_string(i)).get(), CFSTR("")));
        EXPECT_TRUE(HalvKeshAddImageFromBitmap(payloads[3].data(), 500, 450, CFSTR("big.raw")));
        const std::string bigText(tagContent.begin(), tagContent.end());
        EXPECT_TRUE(HalvKeshSetTagContentById(CFSTR("big"), text(bigText).get()));
        EXPECT_TRUE(HalvKeshAddImageFromBitmap(&none, 0, 0, CFSTR("none")));
    });
    ASSERT_EQ(sent.size(), sizes.size() + 3);
    for (size_t i = 0; i < sizes.size(); ++i) {
        SCOPED_TRACE("payload of " + std::to_string(sizes[i]));
        EXPECT_EQ(sent[i].fileName(), "f" + std::to_string(i));
        EXPECT_EQ(sent[i].raw.size(), 1032 + sizes[i]);
        EXPECT_EQ(sent[i].payload(), payloads[i]);
    }
    EXPECT_EQ(sent[4].width(), 500);
    EXPECT_EQ(sent[4].height(), 450);
    EXPECT_EQ(sent[4].payload(), payloads[3]);
    EXPECT_EQ(sent[5].payload(), tagContent);
    EXPECT_EQ(sent[6].raw.size(), 528u) << "an empty image is only its fixed part";
}
