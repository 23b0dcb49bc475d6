#include "xwindows.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace xwindows {
namespace {

struct Connection {
  Connection() : connection(xcb_connect(nullptr, &screenNumber)) {}
  ~Connection() { xcb_disconnect(connection); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  bool ok() const { return connection != nullptr && xcb_connection_has_error(connection) == 0; }

  xcb_screen_t* screen() const {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) xcb_screen_next(&it);
    return it.rem > 0 ? it.data : nullptr;
  }

  xcb_connection_t* connection;
  int screenNumber = 0;
};

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> owned(Reply* reply) {
  return ReplyPtr<Reply>(reply, &std::free);
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  auto reply = owned(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::optional<long> pidOf(xcb_connection_t* c, xcb_window_t window, xcb_atom_t pidAtom) {
  auto reply = owned(xcb_get_property_reply(
      c, xcb_get_property(c, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
  if (!reply || xcb_get_property_value_length(reply.get()) < 4) return std::nullopt;
  return static_cast<long>(*static_cast<const uint32_t*>(xcb_get_property_value(reply.get())));
}

bool isViewable(xcb_connection_t* c, xcb_window_t window) {
  auto reply =
      owned(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
  return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::optional<xcb_window_t> findWindow(const Connection& x, long pid) {
  xcb_screen_t* screen = x.screen();
  if (screen == nullptr) return std::nullopt;
  const xcb_atom_t pidAtom = atom(x.connection, "_NET_WM_PID");
  auto tree = owned(
      xcb_query_tree_reply(x.connection, xcb_query_tree(x.connection, screen->root), nullptr));
  if (!tree) return std::nullopt;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  // Besides its main window a program may map small helper windows; the main
  // window is the largest one.
  std::optional<xcb_window_t> largest;
  int largestArea = 0;
  for (int i = 0; i < count; ++i) {
    if (pidOf(x.connection, children[i], pidAtom) != pid || !isViewable(x.connection, children[i]))
      continue;
    auto geometry = owned(
        xcb_get_geometry_reply(x.connection, xcb_get_geometry(x.connection, children[i]), nullptr));
    const int area = geometry ? geometry->width * geometry->height : 0;
    if (area > largestArea) {
      largest = children[i];
      largestArea = area;
    }
  }
  return largest;
}

}  // namespace

std::optional<QPoint> windowPosition(long pid) {
  const Connection x;
  if (!x.ok()) return std::nullopt;
  const std::optional<xcb_window_t> window = findWindow(x, pid);
  if (!window) return std::nullopt;
  auto geometry =
      owned(xcb_get_geometry_reply(x.connection, xcb_get_geometry(x.connection, *window), nullptr));
  if (!geometry) return std::nullopt;
  return QPoint(geometry->x, geometry->y);
}

bool moveWindow(long pid, QPoint position) {
  const Connection x;
  if (!x.ok()) return false;
  const std::optional<xcb_window_t> window = findWindow(x, pid);
  if (!window) return false;
  const uint32_t values[] = {static_cast<uint32_t>(position.x()),
                             static_cast<uint32_t>(position.y())};
  xcb_configure_window(x.connection, *window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
  return xcb_flush(x.connection) > 0;
}

}  // namespace xwindows
