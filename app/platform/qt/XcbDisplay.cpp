#include "platform/qt/XcbDisplay.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kv {

namespace {

// Clients sit in their window manager's frames, which may sit in a virtual root.
constexpr int deepestLevel = 3;
// A desktop has far fewer; the walk stays bounded whatever the server holds.
constexpr std::size_t mostWindows = 4096;

// Window names and classes are read up to this many 32-bit units.
constexpr std::uint32_t longestPropertyUnits = 256;

constexpr std::uint8_t badWindow = 3;
constexpr std::uint8_t badMatch = 8;
constexpr std::uint8_t badDrawable = 9;

template <typename Reply> struct FreeReply {
    void operator()(Reply* reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeReply<Reply>>;

std::string propertyText(xcb_connection_t* connection, xcb_get_property_cookie_t cookie) {
    const ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->format != 8)
        return {};
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

// X coordinates and sizes are 16-bit; a damaged geometry is clamped into them.
constexpr double largestCoordinate = 32767.0;

int whole(double coordinate) {
    if (std::isnan(coordinate))
        return 0;
    return static_cast<int>(std::clamp(std::floor(coordinate), -largestCoordinate, largestCoordinate));
}

// Whole pixels covering a length; at least one, as the screen grab does.
int covering(double length) {
    return length >= 1.0 ? static_cast<int>(std::min(std::ceil(length), largestCoordinate)) : 1;
}

class XcbImage : public CapturedImage {
public:
    XcbImage(int width, int height) : width_(width), height_(height), pixels_(std::size_t(width) * height) {}

    void set(int x, int y, PixelColor color) { pixels_[index(x, y)] = color; }
    std::optional<PixelColor> colorAt(std::int64_t x, std::int64_t y) const override {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return std::nullopt;
        return pixels_[index(static_cast<int>(x), static_cast<int>(y))];
    }

private:
    std::size_t index(int x, int y) const { return std::size_t(y) * std::size_t(width_) + std::size_t(x); }

    int width_;
    int height_;
    std::vector<std::optional<PixelColor>> pixels_;
};

double component(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0)
        return 0.0;
    const int shift = std::countr_zero(mask);
    return static_cast<double>((pixel & mask) >> shift) / static_cast<double>(mask >> shift);
}

} // namespace

XcbDisplay::XcbDisplay() {
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_))
        return;
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    bigEndian_ = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    for (auto format = xcb_setup_pixmap_formats_iterator(setup); format.rem; xcb_format_next(&format))
        pixmapFormats_[format.data->depth] = {format.data->bits_per_pixel, format.data->scanline_pad};
    auto screen = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screen.rem; ++i)
        xcb_screen_next(&screen);
    if (!screen.rem)
        return;
    root_ = screen.data->root;
    screenWidth_ = screen.data->width_in_pixels;
    screenHeight_ = screen.data->height_in_pixels;
    for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem; xcb_depth_next(&depth))
        for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem; xcb_visualtype_next(&visual))
            visualMasks_[visual.data->visual_id] = {visual.data->red_mask, visual.data->green_mask,
                                                    visual.data->blue_mask};
    static const char name[] = "_NET_WM_NAME";
    const ReplyPtr<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr));
    netWmName_ = atom ? atom->atom : 0;
}

XcbDisplay::~XcbDisplay() {
    xcb_disconnect(connection_);
}

bool XcbDisplay::connected() const {
    return root_ != 0 && !xcb_connection_has_error(connection_);
}

std::vector<XWindowInfo> XcbDisplay::namedWindows() {
    std::vector<XWindowInfo> named;
    if (!connected())
        return named;
    std::vector<xcb_window_t> level{root_};
    for (int depth = 1; depth <= deepestLevel && !level.empty(); ++depth) {
        // Each level's requests go out together, then their replies are read: one round trip a level.
        std::vector<xcb_query_tree_cookie_t> trees;
        for (const xcb_window_t window : level)
            trees.push_back(xcb_query_tree(connection_, window));
        std::vector<xcb_window_t> children;
        for (const auto cookie : trees) {
            const ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, cookie, nullptr));
            if (!tree)
                continue;
            const xcb_window_t* first = xcb_query_tree_children(tree.get());
            const int count = xcb_query_tree_children_length(tree.get());
            children.insert(children.end(), first, first + std::min<std::size_t>(count, mostWindows));
        }
        if (children.size() > mostWindows)
            children.resize(mostWindows);
        struct Asked {
            xcb_get_property_cookie_t wmClass, netName, name;
            xcb_get_window_attributes_cookie_t attributes;
            xcb_get_geometry_cookie_t geometry;
        };
        std::vector<Asked> asked;
        for (const xcb_window_t window : children)
            asked.push_back(
                {xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_ANY, 0,
                                  longestPropertyUnits),
                 xcb_get_property(connection_, 0, window, netWmName_, XCB_ATOM_ANY, 0, longestPropertyUnits),
                 xcb_get_property(connection_, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0,
                                  longestPropertyUnits),
                 xcb_get_window_attributes(connection_, window), xcb_get_geometry(connection_, window)});
        for (std::size_t i = 0; i < children.size(); ++i) {
            XWindowInfo info;
            info.id = children[i];
            const std::string wmClass = propertyText(connection_, asked[i].wmClass);
            info.instance = wmClass.substr(0, wmClass.find('\0'));
            if (info.instance.size() < wmClass.size()) {
                const std::string rest = wmClass.substr(info.instance.size() + 1);
                info.className = rest.substr(0, rest.find('\0'));
            }
            info.title = propertyText(connection_, asked[i].netName);
            const std::string plainName = propertyText(connection_, asked[i].name);
            if (info.title.empty())
                info.title = plainName;
            const ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(connection_, asked[i].attributes, nullptr));
            info.viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            const ReplyPtr<xcb_get_geometry_reply_t> geometry(
                xcb_get_geometry_reply(connection_, asked[i].geometry, nullptr));
            info.area = geometry ? std::int64_t(geometry->width) * geometry->height : 0;
            if (!info.instance.empty() || !info.className.empty() || !info.title.empty())
                named.push_back(std::move(info));
        }
        level = std::move(children);
    }
    return named;
}

XcbDisplay::Area XcbDisplay::readableArea(std::uint32_t window, const Area& wanted, bool& gone) const {
    const auto geometryCookie = xcb_get_geometry(connection_, window);
    const auto placeCookie = xcb_translate_coordinates(connection_, window, root_, 0, 0);
    xcb_generic_error_t* error = nullptr;
    const ReplyPtr<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, geometryCookie, &error));
    const ReplyPtr<xcb_translate_coordinates_reply_t> place(
        xcb_translate_coordinates_reply(connection_, placeCookie, nullptr));
    if (error) {
        gone = error->error_code == badWindow || error->error_code == badDrawable;
        std::free(error);
    }
    if (!geometry || !place)
        return {};
    // Without compositing the server reads windows from the screen, so only their part on it.
    const int left = std::max({wanted.x, 0, -place->dst_x});
    const int top = std::max({wanted.y, 0, -place->dst_y});
    const int right = std::min({wanted.x + wanted.width, int(geometry->width), screenWidth_ - place->dst_x});
    const int bottom =
        std::min({wanted.y + wanted.height, int(geometry->height), screenHeight_ - place->dst_y});
    if (right <= left || bottom <= top)
        return {};
    return {left, top, right - left, bottom - top};
}

std::unique_ptr<CapturedImage> XcbDisplay::grab(std::uint32_t window, const Rect& rect, bool& gone) {
    gone = false;
    if (!connected())
        return nullptr;
    const Area wanted{whole(rect.x), whole(rect.y), covering(rect.width), covering(rect.height)};
    Area area = wanted;
    ReplyPtr<xcb_get_image_reply_t> reply;
    for (int attempt = 0; attempt < 2 && !reply; ++attempt) {
        xcb_generic_error_t* error = nullptr;
        reply.reset(xcb_get_image_reply(
            connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, static_cast<std::int16_t>(area.x),
                          static_cast<std::int16_t>(area.y), static_cast<std::uint16_t>(area.width),
                          static_cast<std::uint16_t>(area.height), ~0u),
            &error));
        if (!error)
            break;
        const std::uint8_t code = error->error_code;
        std::free(error);
        if (code == badWindow || code == badDrawable) {
            gone = true;
            return nullptr;
        }
        // A rectangle partly outside the window or the screen: read the part inside.
        if (code != badMatch || attempt > 0)
            return nullptr;
        area = readableArea(window, wanted, gone);
        if (area.width <= 0)
            return nullptr;
    }
    if (!reply)
        return nullptr;

    const auto format = pixmapFormats_.find(reply->depth);
    const auto masks = visualMasks_.find(reply->visual);
    if (format == pixmapFormats_.end() || masks == visualMasks_.end())
        return nullptr;
    const int bits = format->second[0];
    const int pad = format->second[1];
    if (bits != 16 && bits != 24 && bits != 32)
        return nullptr;
    const std::size_t stride = std::size_t((area.width * bits + pad - 1) / pad * pad / 8);
    const auto* data = xcb_get_image_data(reply.get());
    if (std::size_t(xcb_get_image_data_length(reply.get())) < stride * std::size_t(area.height))
        return nullptr;

    auto image = std::make_unique<XcbImage>(wanted.width, wanted.height);
    const int bytes = bits / 8;
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            const std::uint8_t* at = data + std::size_t(y) * stride + std::size_t(x * bytes);
            std::uint32_t pixel = 0;
            for (int b = 0; b < bytes; ++b)
                pixel |= std::uint32_t(at[bigEndian_ ? bytes - 1 - b : b]) << (8 * b);
            const auto& [red, green, blue] = masks->second;
            image->set(area.x - wanted.x + x, area.y - wanted.y + y,
                       {component(pixel, red), component(pixel, green), component(pixel, blue)});
        }
    }
    return image;
}

} // namespace kv
