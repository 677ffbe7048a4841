#include "app/X11Keyboard.h"

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace {

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

std::optional<bool> leftCtrlDown(xcb_connection_t *connection)
{
    const xcb_setup_t *setup = xcb_get_setup(connection);
    if (!setup || setup->max_keycode < setup->min_keycode)
        return std::nullopt;
    const xcb_keycode_t first = setup->min_keycode;
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - first + 1);
    // Both requests go out before either answer is awaited: one round trip to the server.
    const auto mappingCookie = xcb_get_keyboard_mapping(connection, first, count);
    const auto keymapCookie = xcb_query_keymap(connection);
    const ReplyPtr<xcb_get_keyboard_mapping_reply_t> mapping(
        xcb_get_keyboard_mapping_reply(connection, mappingCookie, nullptr));
    const ReplyPtr<xcb_query_keymap_reply_t> keymap(
        xcb_query_keymap_reply(connection, keymapCookie, nullptr));
    if (!mapping || !keymap || mapping->keysyms_per_keycode == 0)
        return std::nullopt;

    // The mapping lists keysyms_per_keycode keysyms for each key code from `first` on; the key
    // map has one bit per key code, set while the key is down.
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int length = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
    for (int i = 0; i < length; ++i) {
        if (syms[i] != LeftCtrlTracker::LeftCtrlKeysym)
            continue;
        const int code = first + i / mapping->keysyms_per_keycode;
        if (code < 256 && (keymap->keys[code / 8] >> (code % 8) & 1))
            return true;
    }
    return false;
}

} // namespace

LeftCtrlTracker::KeyboardQuery x11LeftCtrlQuery()
{
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    return [connection] { return leftCtrlDown(connection); };
}
