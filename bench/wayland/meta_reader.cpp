// The smallest reader of the pointer through the ScreenCast portal: one
// session recording every monitor with the cursor as metadata, one PipeWire
// stream per monitor, on one thread (PipeWire's loop runs inside GLib's).
// For every buffer it takes the cursor position from SPA_META_Cursor and, when
// the buffer carries a frame, keeps that frame; for every position it prints
// the centre pixel of the 11 x 11 block around it in the last frame.
//
//   wayland_meta_reader [--restore-token TOKEN] [--quiet] [--seconds N]
//
// Lines on standard output:
//   cursor-modes N                   the portal's AvailableCursorModes (metadata is 4)
//   token TOKEN                      the restore token for the next start
//   stream NODE at X Y size W H      each monitor's stream, from the portal
//   format NODE FORMAT WxH stride S MEMTYPE   the negotiated frame format
//   pos NODE X Y bitmap 0|1 pixel #rrggbb|none   (not with --quiet)
//   summary buffers B positions P frames F position-only O   at the end, and on SIGUSR1
// Exit status: 0 ended by SIGINT/SIGTERM or --seconds; 1 set-up failed; 2 bad
// argument; 3 the dialog was refused; 4 the stream was stopped by the desktop;
// 5 the portal offers no metadata cursor.
#include <glib-unix.h>
#include <libportal/portal.h>
#include <pipewire/pipewire.h>
#include <spa/debug/types.h>
#include <spa/param/video/format-utils.h>
#include <spa/param/video/type-info.h>
#include <spa/utils/result.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

enum ExitStatus {
  kEnded = 0,
  kSetupFailed = 1,
  kBadArgument = 2,
  kRefused = 3,
  kStopped = 4,
  kNoMetadata = 5
};

constexpr int kBlock = 11;
// The cursor metadata's size range. mutter offers room for a 384 x 384 bitmap
// as a fixed size; the range must hold what the compositor offers, or no
// cursor metadata is negotiated at all.
constexpr int kCursorBitmapSideMax = 1024;

struct Reader;

struct Stream {
  Reader* reader = nullptr;
  uint32_t node = 0;
  pw_stream* stream = nullptr;
  spa_hook listener{};
  spa_video_info_raw format{};
  std::vector<uint8_t> frame;  // the last frame, rows of `stride` bytes
  uint32_t stride = 0;
  bool have_frame = false;
};

struct Reader {
  GMainLoop* loop = nullptr;
  XdpPortal* portal = nullptr;
  XdpSession* session = nullptr;
  pw_loop* pw_main = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  spa_hook core_listener{};
  pw_registry* registry = nullptr;
  spa_hook registry_listener{};
  std::vector<std::unique_ptr<Stream>> streams;
  bool quiet = false;
  unsigned seconds = 0;  // how long to read once the streams are there; 0: until a signal
  bool ending = false;   // set once the loop has ended: what follows is our own doing
  gulong closed_handler = 0;
  int status = kEnded;
  unsigned long buffers = 0, positions = 0, frames = 0, position_only = 0;
};

void Finish(Reader& r, int status) {
  if (r.status == kEnded) r.status = status;
  g_main_loop_quit(r.loop);
}

// Four bytes per pixel in one of the formats asked for; the rest are picked by
// their channel order.
bool PixelRgb(const Stream& s, int x, int y, unsigned rgb[3]) {
  const uint8_t* p =
      s.frame.data() + static_cast<size_t>(y) * s.stride + static_cast<size_t>(x) * 4;
  switch (s.format.format) {
    case SPA_VIDEO_FORMAT_BGRx:
    case SPA_VIDEO_FORMAT_BGRA:
      rgb[0] = p[2], rgb[1] = p[1], rgb[2] = p[0];
      return true;
    case SPA_VIDEO_FORMAT_RGBx:
    case SPA_VIDEO_FORMAT_RGBA:
      rgb[0] = p[0], rgb[1] = p[1], rgb[2] = p[2];
      return true;
    case SPA_VIDEO_FORMAT_xRGB:
    case SPA_VIDEO_FORMAT_ARGB:
      rgb[0] = p[1], rgb[1] = p[2], rgb[2] = p[3];
      return true;
    case SPA_VIDEO_FORMAT_xBGR:
    case SPA_VIDEO_FORMAT_ABGR:
      rgb[0] = p[3], rgb[1] = p[2], rgb[2] = p[1];
      return true;
    default:
      return false;
  }
}

// The 11 x 11 block around (x, y), kept inside the frame, and its centre pixel.
std::string CentrePixel(const Stream& s, int x, int y) {
  const int width = static_cast<int>(s.format.size.width),
            height = static_cast<int>(s.format.size.height);
  if (!s.have_frame || width < kBlock || height < kBlock) return "none";
  const int left =
      x - kBlock / 2 < 0 ? 0 : (x + kBlock / 2 >= width ? width - kBlock : x - kBlock / 2);
  const int top =
      y - kBlock / 2 < 0 ? 0 : (y + kBlock / 2 >= height ? height - kBlock : y - kBlock / 2);
  unsigned block[kBlock][kBlock][3];
  for (int row = 0; row < kBlock; ++row)
    for (int col = 0; col < kBlock; ++col)
      if (!PixelRgb(s, left + col, top + row, block[row][col])) return "none";
  const int cx = x < 0 ? 0 : (x >= width ? width - 1 : x),
            cy = y < 0 ? 0 : (y >= height ? height - 1 : y);
  const unsigned* c = block[cy - top][cx - left];
  char text[16];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c[0], c[1], c[2]);
  return text;
}

const char* MemoryType(uint32_t type) {
  switch (type) {
    case SPA_DATA_MemPtr:
      return "memptr";
    case SPA_DATA_MemFd:
      return "memfd";
    case SPA_DATA_DmaBuf:
      return "dmabuf";
    default:
      return "other";
  }
}

void KeepFrame(Stream& s, const spa_data& data) {
  const spa_chunk& chunk = *data.chunk;
  if (data.data == nullptr || chunk.size == 0 ||
      (static_cast<uint32_t>(chunk.flags) & SPA_CHUNK_FLAG_CORRUPTED) != 0)
    return;
  const uint32_t height = s.format.size.height;
  const uint32_t stride =
      chunk.stride > 0 ? static_cast<uint32_t>(chunk.stride) : s.format.size.width * 4;
  if (static_cast<uint64_t>(stride) * height > chunk.size ||
      static_cast<uint64_t>(chunk.offset) + chunk.size > data.maxsize)
    return;
  const auto* source = static_cast<const uint8_t*>(data.data) + chunk.offset;
  s.frame.assign(source, source + static_cast<size_t>(stride) * height);
  s.stride = stride;
  if (!s.have_frame)
    std::printf("format %u %s %ux%u stride %u %s framerate %u/%u max %u/%u\n", s.node,
                spa_debug_type_find_short_name(spa_type_video_format, s.format.format),
                s.format.size.width, height, stride, MemoryType(data.type), s.format.framerate.num,
                s.format.framerate.denom, s.format.max_framerate.num, s.format.max_framerate.denom);
  s.have_frame = true;
  ++s.reader->frames;
}

void OnProcess(void* user) {
  auto& s = *static_cast<Stream*>(user);
  Reader& r = *s.reader;
  // Only the newest buffer counts; older ones queued meanwhile go back at once.
  pw_buffer* newest = nullptr;
  while (pw_buffer* b = pw_stream_dequeue_buffer(s.stream)) {
    if (newest != nullptr) pw_stream_queue_buffer(s.stream, newest);
    newest = b;
    ++r.buffers;
  }
  if (newest == nullptr) return;
  spa_buffer* buffer = newest->buffer;
  const uint32_t frames_before = static_cast<uint32_t>(r.frames);
  if (buffer->n_datas > 0) KeepFrame(s, buffer->datas[0]);
  const bool had_frame = r.frames != frames_before;
  auto* cursor = static_cast<spa_meta_cursor*>(
      spa_buffer_find_meta_data(buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)));
  if (cursor != nullptr && spa_meta_cursor_is_valid(cursor)) {
    ++r.positions;
    if (!had_frame) ++r.position_only;
    bool bitmap = false;
    if (cursor->bitmap_offset >= sizeof(spa_meta_cursor)) {
      auto* b = SPA_MEMBER(cursor, cursor->bitmap_offset, spa_meta_bitmap);
      bitmap = b->size.width > 0 && b->size.height > 0;
    }
    if (!r.quiet)
      std::printf("pos %u %d %d bitmap %d pixel %s\n", s.node, cursor->position.x,
                  cursor->position.y, bitmap ? 1 : 0,
                  CentrePixel(s, cursor->position.x, cursor->position.y).c_str());
  }
  pw_stream_queue_buffer(s.stream, newest);
}

// The format is fixed: ask for buffers in memory we can map and for the
// header and cursor metadata.
void OnParamChanged(void* user, uint32_t id, const spa_pod* param) {
  auto& s = *static_cast<Stream*>(user);
  if (param == nullptr || id != SPA_PARAM_Format) return;
  if (spa_format_video_raw_parse(param, &s.format) < 0) return;
  s.have_frame = false;
  uint8_t storage[1024];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
  const int cursor_min = static_cast<int>(sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap));
  const int cursor_max = cursor_min + kCursorBitmapSideMax * kCursorBitmapSideMax * 4;
  const int cursor_default = cursor_min + 64 * 64 * 4;
  const spa_pod* params[3];
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
      SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd))));
  params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
      SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
  params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
      SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
      SPA_POD_CHOICE_RANGE_Int(cursor_default, cursor_min, cursor_max)));
  pw_stream_update_params(s.stream, params, 3);
}

void OnStateChanged(void* user, pw_stream_state, pw_stream_state state, const char* error) {
  auto& s = *static_cast<Stream*>(user);
  if (s.reader->ending) return;
  if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
    std::fprintf(stderr, "wayland_meta_reader: stream %u %s%s%s\n", s.node,
                 state == PW_STREAM_STATE_ERROR ? "failed" : "was stopped by the desktop",
                 error ? ": " : "", error ? error : "");
    Finish(*s.reader, kStopped);
  }
}

void OnCoreError(void* user, uint32_t id, int, int res, const char* message) {
  if (id != PW_ID_CORE) return;
  std::fprintf(stderr, "wayland_meta_reader: PipeWire: %s (%s)\n", message, spa_strerror(res));
  Finish(*static_cast<Reader*>(user), res == -EPIPE ? kStopped : kSetupFailed);
}

// The desktop's node going away: a stream whose producer is gone is only
// paused by PipeWire, so this is where a stopped screencast shows.
void OnGlobalRemoved(void* user, uint32_t id) {
  auto& r = *static_cast<Reader*>(user);
  for (const auto& s : r.streams) {
    if (s->node != id || r.ending) continue;
    std::fprintf(stderr, "wayland_meta_reader: stream %u was removed by the desktop\n", id);
    Finish(r, kStopped);
  }
}

const pw_registry_events kRegistryEvents = [] {
  pw_registry_events events{};
  events.version = PW_VERSION_REGISTRY_EVENTS;
  events.global_remove = OnGlobalRemoved;
  return events;
}();

const pw_stream_events kStreamEvents = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = OnStateChanged;
  events.param_changed = OnParamChanged;
  events.process = OnProcess;
  return events;
}();

const pw_core_events kCoreEvents = [] {
  pw_core_events events{};
  events.version = PW_VERSION_CORE_EVENTS;
  events.error = OnCoreError;
  return events;
}();

bool ConnectStream(Reader& r, uint32_t node) {
  auto s = std::make_unique<Stream>();
  s->reader = &r;
  s->node = node;
  s->stream = pw_stream_new(r.core, "tintora-meta-reader",
                            pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                              "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
  if (s->stream == nullptr) return false;
  pw_stream_add_listener(s->stream, &s->listener, &kStreamEvents, s.get());
  uint8_t storage[1024];
  spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
  const spa_rectangle size_default = SPA_RECTANGLE(1280, 720), size_min = SPA_RECTANGLE(1, 1),
                      size_max = SPA_RECTANGLE(16384, 16384);
  const spa_fraction rate_default = SPA_FRACTION(60, 1), rate_min = SPA_FRACTION(0, 1),
                     rate_max = SPA_FRACTION(1000, 1);
  const spa_pod* params[1];
  params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
      SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
      SPA_FORMAT_VIDEO_format,
      SPA_POD_CHOICE_ENUM_Id(9, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                             SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA, SPA_VIDEO_FORMAT_xRGB,
                             SPA_VIDEO_FORMAT_ARGB, SPA_VIDEO_FORMAT_xBGR, SPA_VIDEO_FORMAT_ABGR),
      SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size_default, &size_min, &size_max),
      SPA_FORMAT_VIDEO_framerate,
      SPA_POD_CHOICE_RANGE_Fraction(&rate_default, &rate_min, &rate_max)));
  const auto flags =
      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS);
  if (pw_stream_connect(s->stream, PW_DIRECTION_INPUT, node, flags, params, 1) < 0) return false;
  r.streams.push_back(std::move(s));
  return true;
}

// PipeWire's loop inside GLib's: its fd wakes GLib, which runs what is ready.
gboolean OnPipeWireReady(gint, GIOCondition, gpointer user) {
  pw_loop_iterate(static_cast<Reader*>(user)->pw_main, 0);
  return G_SOURCE_CONTINUE;
}

void OnSessionClosed(XdpSession*, gpointer user) {
  std::fprintf(stderr, "wayland_meta_reader: the desktop closed the screencast session\n");
  Finish(*static_cast<Reader*>(user), kStopped);
}

void PrintSummary(const Reader& r) {
  std::printf("summary buffers %lu positions %lu frames %lu position-only %lu\n", r.buffers,
              r.positions, r.frames, r.position_only);
}

gboolean OnSummary(gpointer user) {
  PrintSummary(*static_cast<Reader*>(user));
  return G_SOURCE_CONTINUE;
}

gboolean OnSignal(gpointer user) {
  Finish(*static_cast<Reader*>(user), kEnded);
  return G_SOURCE_REMOVE;
}

gboolean OnTimeUp(gpointer user) { return OnSignal(user); }

void StartStreams(Reader& r) {
  if (char* token = xdp_session_get_restore_token(r.session)) {
    std::printf("token %s\n", token);
    g_free(token);
  }
  GVariant* streams = xdp_session_get_streams(r.session);
  const int fd = xdp_session_open_pipewire_remote(r.session);
  if (streams == nullptr || fd < 0) {
    std::fprintf(stderr, "wayland_meta_reader: the portal gave no PipeWire remote\n");
    if (streams) g_variant_unref(streams);
    return Finish(r, kSetupFailed);
  }
  r.core = pw_context_connect_fd(r.context, fd, nullptr, 0);
  if (r.core == nullptr) {
    std::fprintf(stderr, "wayland_meta_reader: cannot connect to PipeWire: %s\n",
                 std::strerror(errno));
    g_variant_unref(streams);
    return Finish(r, kSetupFailed);
  }
  pw_core_add_listener(r.core, &r.core_listener, &kCoreEvents, &r);
  r.registry = pw_core_get_registry(r.core, PW_VERSION_REGISTRY, 0);
  if (r.registry != nullptr)
    pw_registry_add_listener(r.registry, &r.registry_listener, &kRegistryEvents, &r);
  GVariantIter iter;
  g_variant_iter_init(&iter, streams);
  guint32 node = 0;
  GVariant* props = nullptr;
  while (g_variant_iter_next(&iter, "(u@a{sv})", &node, &props)) {
    gint x = 0, y = 0, w = 0, h = 0;
    g_variant_lookup(props, "position", "(ii)", &x, &y);
    g_variant_lookup(props, "size", "(ii)", &w, &h);
    std::printf("stream %u at %d %d size %d %d\n", node, x, y, w, h);
    g_variant_unref(props);
    if (!ConnectStream(r, node)) {
      std::fprintf(stderr, "wayland_meta_reader: cannot connect to stream %u\n", node);
      Finish(r, kSetupFailed);
    }
  }
  g_variant_unref(streams);
  if (r.seconds > 0) g_timeout_add_seconds(r.seconds, OnTimeUp, &r);
}

void OnStarted(GObject*, GAsyncResult* result, gpointer user) {
  auto& r = *static_cast<Reader*>(user);
  GError* error = nullptr;
  if (!xdp_session_start_finish(r.session, result, &error)) {
    const bool refused = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    std::fprintf(stderr, "wayland_meta_reader: %s: %s\n",
                 refused ? "screen sharing was refused" : "the session did not start",
                 error->message);
    g_error_free(error);
    return Finish(r, refused ? kRefused : kSetupFailed);
  }
  // Closed from now on means stopped by the desktop (a refusal closes it too).
  r.closed_handler = g_signal_connect(r.session, "closed", G_CALLBACK(OnSessionClosed), &r);
  StartStreams(r);
}

void OnSessionCreated(GObject*, GAsyncResult* result, gpointer user) {
  auto& r = *static_cast<Reader*>(user);
  GError* error = nullptr;
  r.session = xdp_portal_create_screencast_session_finish(r.portal, result, &error);
  if (r.session == nullptr) {
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    std::fprintf(stderr, "wayland_meta_reader: no screencast session: %s\n", error->message);
    g_error_free(error);
    return Finish(r, cancelled ? kNoMetadata : kSetupFailed);
  }
  xdp_session_start(r.session, nullptr, nullptr, OnStarted, &r);
}

}  // namespace

// The cursor modes the portal offers (a bit set of XdpCursorMode); libportal
// 0.6 has no call for it, and asked for a mode it lacks the portal refuses the
// request ("Unavailable cursor mode"). 0 when the portal cannot be asked.
guint32 AvailableCursorModes() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return 0;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
      "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.freedesktop.portal.ScreenCast", "AvailableCursorModes"),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
  guint32 modes = 0;
  if (reply != nullptr) {
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) modes = g_variant_get_uint32(value);
    g_variant_unref(value);
    g_variant_unref(reply);
  }
  g_object_unref(bus);
  return modes;
}

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as it happens, also into a pipe
  Reader r;
  const char* token = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--restore-token") == 0 && i + 1 < argc) {
      token = argv[++i];
    } else if (std::strcmp(argv[i], "--quiet") == 0) {
      r.quiet = true;
    } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      r.seconds = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else {
      std::fprintf(stderr,
                   "usage: wayland_meta_reader [--restore-token TOKEN] [--quiet] [--seconds N]\n");
      return kBadArgument;
    }
  }
  pw_init(&argc, &argv);
  r.loop = g_main_loop_new(nullptr, FALSE);
  r.pw_main = pw_loop_new(nullptr);
  r.context = r.pw_main ? pw_context_new(r.pw_main, nullptr, 0) : nullptr;
  r.portal = xdp_portal_new();
  if (r.context == nullptr || r.portal == nullptr) {
    std::fprintf(stderr, "wayland_meta_reader: no portal or no PipeWire context\n");
    return kSetupFailed;
  }
  const guint32 modes = AvailableCursorModes();
  std::printf("cursor-modes %u\n", modes);
  if ((modes & XDP_CURSOR_MODE_METADATA) == 0) {
    std::fprintf(
        stderr,
        "wayland_meta_reader: the ScreenCast portal offers no metadata cursor (cursor modes %u)\n",
        modes);
    return kNoMetadata;
  }
  pw_loop_enter(r.pw_main);
  const guint pw_source = g_unix_fd_add(pw_loop_get_fd(r.pw_main), G_IO_IN, OnPipeWireReady, &r);
  g_unix_signal_add(SIGINT, OnSignal, &r);
  g_unix_signal_add(SIGTERM, OnSignal, &r);
  g_unix_signal_add(SIGUSR1, OnSummary, &r);
  xdp_portal_create_screencast_session(r.portal, XDP_OUTPUT_MONITOR, XDP_SCREENCAST_FLAG_MULTIPLE,
                                       XDP_CURSOR_MODE_METADATA, XDP_PERSIST_MODE_PERSISTENT, token,
                                       nullptr, OnSessionCreated, &r);
  g_main_loop_run(r.loop);
  r.ending = true;

  PrintSummary(r);
  for (auto& s : r.streams) pw_stream_destroy(s->stream);
  r.streams.clear();
  if (r.registry) pw_proxy_destroy(reinterpret_cast<pw_proxy*>(r.registry));
  if (r.core) pw_core_disconnect(r.core);
  g_source_remove(pw_source);
  pw_loop_leave(r.pw_main);
  pw_context_destroy(r.context);
  pw_loop_destroy(r.pw_main);
  if (r.session) {
    if (r.closed_handler != 0) g_signal_handler_disconnect(r.session, r.closed_handler);
    xdp_session_close(r.session);
    g_object_unref(r.session);
  }
  g_object_unref(r.portal);
  g_main_loop_unref(r.loop);
  pw_deinit();
  return r.status;
}
