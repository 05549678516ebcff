// The GTK 3 display backend: shows each dialog of the core as a fixed-size
// GtkWindow whose controls sit at their template rectangles, mirrors texts
// and the keyboard focus, and reports mouse and keyboard input by posting
// messages. GTK itself never acts on input here: no keyboard navigation, no
// activation, no focus moves of its own.
#include "display_backend.h"
#include "layer_internal.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

namespace shell {
namespace {

constexpr LPARAM kAltDown = 1 << 29;

UINT VirtualKeyOf(guint keyval) {
    switch (keyval) {
        case GDK_KEY_Tab:
        case GDK_KEY_ISO_Left_Tab: return VK_TAB;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter: return VK_RETURN;
        case GDK_KEY_Escape: return VK_ESCAPE;
        case GDK_KEY_space: return VK_SPACE;
        case GDK_KEY_Left: return VK_LEFT;
        case GDK_KEY_Up: return VK_UP;
        case GDK_KEY_Right: return VK_RIGHT;
        case GDK_KEY_Down: return VK_DOWN;
        case GDK_KEY_F4: return VK_F4;
        default: break;
    }
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return static_cast<UINT>('0' + (keyval - GDK_KEY_0));
    guint upper = gdk_keyval_to_upper(keyval);
    if (upper >= GDK_KEY_A && upper <= GDK_KEY_Z) return static_cast<UINT>('A' + (upper - GDK_KEY_A));
    return 0;
}

// How the dialog font turns dialog units into pixels.
struct BaseUnits {
    double x = 6;   // pixels per 4 horizontal units
    double y = 13;  // pixels per 8 vertical units
};

class GtkDisplay : public DisplayBackend {
public:
    bool CreateDialogWindow(const DialogInfo& dialog, std::string& error) override {
        if (!EnsureGtk(error)) return false;
        std::string face = ChooseFace(dialog.fontFace);
        // GTK points are 1/72 inch at 96 dpi, as Windows' are.
        double pixelSize = dialog.fontPointSize * 96.0 / 72.0;
        BaseUnits units = MeasureBaseUnits(face, pixelSize);
        // Every text must show whole: widen the units (keeping their ratio)
        // until the widest text fits its box.
        double scale = 1.0;
        for (const ControlInfo& c : dialog.controls) {
            if (c.text.empty()) continue;
            double needed = TextWidth(face, pixelSize, c.text) + (c.kind == ControlKind::Button ? 8 : 1);
            double available = c.cx * units.x / 4.0;
            if (available > 0) scale = std::max(scale, needed / available);
        }
        units.x *= scale;
        units.y *= scale;

        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(window), dialog.caption.c_str());
        gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
        gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
        gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
        gtk_widget_set_name(window, "keyconfig-dialog");
        int width = Px(dialog.cx, units.x / 4.0), height = Px(dialog.cy, units.y / 8.0);
        gtk_window_set_default_size(GTK_WINDOW(window), width, height);
        gtk_widget_set_size_request(window, width, height);

        GtkCssProvider* css = gtk_css_provider_new();
        std::string style = "* { font-family: \"" + face + "\"; font-size: " + std::to_string(pixelSize) +
                            "px; }\n"
                            "button { padding: 0; min-height: 0; min-width: 0; }\n"
                            "entry { padding: 0 2px; min-height: 0; min-width: 0; }\n"
                            "label { padding: 0; }\n";
        gtk_css_provider_load_from_data(css, style.c_str(), -1, nullptr);
        gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window), GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);

        GtkWidget* fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(window), fixed);
        Dialog& d = m_dialogs[dialog.handle];
        d.window = window;
        m_widgets[dialog.handle] = window;
        for (const ControlInfo& c : dialog.controls) {
            GtkWidget* w = nullptr;
            switch (c.kind) {
                case ControlKind::Button:
                    w = gtk_button_new_with_label(c.text.c_str());
                    break;
                case ControlKind::Edit:
                    w = gtk_entry_new();
                    gtk_editable_set_editable(GTK_EDITABLE(w), FALSE);
                    gtk_entry_set_width_chars(GTK_ENTRY(w), 1);
                    gtk_entry_set_has_frame(GTK_ENTRY(w), (c.style & WS_BORDER) != 0);
                    gtk_entry_set_text(GTK_ENTRY(w), c.text.c_str());
                    break;
                case ControlKind::Static:
                    w = gtk_label_new(c.text.c_str());
                    gtk_label_set_xalign(GTK_LABEL(w), 0.0f);
                    gtk_label_set_yalign(GTK_LABEL(w), 0.5f);
                    break;
            }
            int x = Px(c.x, units.x / 4.0), y = Px(c.y, units.y / 8.0);
            int cw = Px(c.cx, units.x / 4.0), ch = Px(c.cy, units.y / 8.0);
            gtk_widget_set_size_request(w, cw, ch);
            gtk_fixed_put(GTK_FIXED(fixed), w, x, y);
            gtk_widget_add_events(w, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
            g_object_set_data(G_OBJECT(w), "kc-hwnd", c.handle);
            g_signal_connect(w, "button-press-event", G_CALLBACK(OnButtonEvent), nullptr);
            g_signal_connect(w, "button-release-event", G_CALLBACK(OnButtonEvent), nullptr);
            // The core decides where the focus goes; GTK only draws it.
            gtk_widget_set_can_focus(w, c.kind != ControlKind::Static);
            m_widgets[c.handle] = w;
            d.controls.push_back(c.handle);
        }
        g_object_set_data(G_OBJECT(window), "kc-hwnd", dialog.handle);
        g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyEvent), nullptr);
        g_signal_connect(window, "key-release-event", G_CALLBACK(OnKeyEvent), nullptr);
        g_signal_connect(window, "delete-event", G_CALLBACK(OnDeleteEvent), nullptr);
        gtk_widget_realize(window);
        if (GdkWindow* gdk = gtk_widget_get_window(window)) {
            gdk_window_set_functions(gdk, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE));
            gdk_window_set_decorations(gdk, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU));
        }
        return true;
    }

    void ShowDialogWindow(HWND dialog) override {
        auto it = m_dialogs.find(dialog);
        if (it == m_dialogs.end()) return;
        gtk_widget_show_all(it->second.window);
        gtk_window_present(GTK_WINDOW(it->second.window));
        MirrorFocus();
    }

    void DestroyDialogWindow(HWND dialog) override {
        auto it = m_dialogs.find(dialog);
        if (it == m_dialogs.end()) return;
        for (HWND c : it->second.controls) m_widgets.erase(c);
        m_widgets.erase(dialog);
        GtkWidget* window = it->second.window;
        m_dialogs.erase(it);
        gtk_widget_destroy(window);
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    }

    void TextChanged(HWND window, const std::string& text) override {
        GtkWidget* w = Widget(window);
        if (w == nullptr) return;
        if (GTK_IS_ENTRY(w))
            gtk_entry_set_text(GTK_ENTRY(w), text.c_str());
        else if (GTK_IS_BUTTON(w))
            gtk_button_set_label(GTK_BUTTON(w), text.c_str());
        else if (GTK_IS_LABEL(w))
            gtk_label_set_text(GTK_LABEL(w), text.c_str());
        else if (GTK_IS_WINDOW(w))
            gtk_window_set_title(GTK_WINDOW(w), text.c_str());
    }

    void FocusChanged(HWND window) override {
        m_focus = window;
        MirrorFocus();
    }

    std::uint64_t NowMs() override { return static_cast<std::uint64_t>(g_get_monotonic_time() / 1000); }

    void Poll() override {
        if (!m_up) return;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }

    void Wait(std::optional<std::uint64_t> deadlineMs) override {
        if (!m_up) {
            if (!deadlineMs) {
                ReportToStderr("keyconfig: the message loop has no window to wait for");
                std::_Exit(1);
            }
            std::uint64_t now = NowMs();
            if (*deadlineMs > now) g_usleep(static_cast<gulong>((*deadlineMs - now) * 1000));
            return;
        }
        guint timeout = 0;
        if (deadlineMs) {
            std::uint64_t now = NowMs();
            if (*deadlineMs <= now) return;
            timeout = g_timeout_add(static_cast<guint>(*deadlineMs - now), [](gpointer) -> gboolean { return G_SOURCE_REMOVE; },
                                    nullptr);
        }
        g_main_context_iteration(nullptr, TRUE);
        if (timeout != 0) {
            GSource* source = g_main_context_find_source_by_id(nullptr, timeout);
            if (source != nullptr) g_source_destroy(source);
        }
    }

    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        if (!m_up) {
            ReportToStderr(caption + ": " + text);
            return IDOK;
        }
        GtkWidget* parent = Widget(owner);
        GtkWidget* box = gtk_message_dialog_new(parent != nullptr ? GTK_WINDOW(parent) : nullptr, GTK_DIALOG_MODAL,
                                                (type & MB_ICONERROR) != 0 ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO,
                                                GTK_BUTTONS_OK, "%s", text.c_str());
        gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
        gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
        return IDOK;
    }

private:
    struct Dialog {
        GtkWidget* window = nullptr;
        std::vector<HWND> controls;
    };

    bool EnsureGtk(std::string& error) {
        if (m_up) return true;
        const char* display = g_getenv("DISPLAY");
        bool named = display != nullptr && *display != '\0';
        for (int attempt = 0;; ++attempt) {
            if (gtk_init_check(nullptr, nullptr)) break;
            // A busy X server whose queue of new connections is full refuses
            // one for a moment (the connect fails with EAGAIN; GTK does not
            // say why it failed), so a named display gets a second of retries.
            if (named && attempt < 20) {
                g_usleep(50 * 1000);
                continue;
            }
            error = named ? std::string("cannot open display ") + display : "cannot open the display (DISPLAY is not set)";
            return false;
        }
        m_up = true;
        return true;
    }

    static std::string ChooseFace(const std::string& wanted) {
        // The template's face where it is installed, else a Japanese sans.
        PangoFontMap* map = pango_cairo_font_map_get_default();
        PangoFontFamily** families = nullptr;
        int count = 0;
        pango_font_map_list_families(map, &families, &count);
        std::string chosen;
        for (const char* candidate : {wanted.c_str(), "Noto Sans CJK JP", "IPAGothic", "VL Gothic", "TakaoGothic"}) {
            for (int i = 0; i < count && chosen.empty(); ++i)
                if (g_ascii_strcasecmp(pango_font_family_get_name(families[i]), candidate) == 0) chosen = candidate;
            if (!chosen.empty()) break;
        }
        g_free(families);
        return chosen.empty() ? "Sans" : chosen;
    }

    static PangoLayout* Layout(const std::string& face, double pixelSize, const std::string& text) {
        PangoFontMap* map = pango_cairo_font_map_get_default();
        PangoContext* context = pango_font_map_create_context(map);
        PangoLayout* layout = pango_layout_new(context);
        g_object_unref(context);
        PangoFontDescription* font = pango_font_description_from_string(face.c_str());
        pango_font_description_set_absolute_size(font, pixelSize * PANGO_SCALE);
        pango_layout_set_font_description(layout, font);
        pango_font_description_free(font);
        pango_layout_set_text(layout, text.c_str(), -1);
        return layout;
    }

    static double TextWidth(const std::string& face, double pixelSize, const std::string& text) {
        PangoLayout* layout = Layout(face, pixelSize, text);
        int w = 0, h = 0;
        pango_layout_get_pixel_size(layout, &w, &h);
        g_object_unref(layout);
        return w;
    }

    // As the dialog manager measures its font: the average width of the 52
    // Latin letters, and the height of a line.
    static BaseUnits MeasureBaseUnits(const std::string& face, double pixelSize) {
        PangoLayout* layout = Layout(face, pixelSize, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        int w = 0, h = 0;
        pango_layout_get_pixel_size(layout, &w, &h);
        g_object_unref(layout);
        BaseUnits units;
        units.x = std::round(w / 52.0);
        units.y = std::round(pixelSize * 1.3);
        if (units.x < 1) units.x = 1;
        return units;
    }

    static int Px(int units, double pixelsPerUnit) { return static_cast<int>(std::lround(units * pixelsPerUnit)); }

    GtkWidget* Widget(HWND h) const {
        auto it = m_widgets.find(h);
        return it == m_widgets.end() ? nullptr : it->second;
    }

    void MirrorFocus() {
        GtkWidget* w = Widget(m_focus);
        if (w != nullptr && !GTK_IS_WINDOW(w)) {
            gtk_widget_grab_focus(w);
            return;
        }
        for (auto& [handle, d] : m_dialogs) gtk_window_set_focus(GTK_WINDOW(d.window), nullptr);
    }

    static gboolean OnButtonEvent(GtkWidget* widget, GdkEventButton* event, gpointer) {
        if (event->button != 1) return TRUE;
        if (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE) return TRUE;  // no double clicks
        auto h = static_cast<HWND>(g_object_get_data(G_OBJECT(widget), "kc-hwnd"));
        PostInputMessage(h, event->type == GDK_BUTTON_PRESS ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0,
                         MAKELPARAM(static_cast<WORD>(event->x), static_cast<WORD>(event->y)));
        return TRUE;
    }

    static gboolean OnKeyEvent(GtkWidget*, GdkEventKey* event, gpointer) {
        UINT vk = VirtualKeyOf(event->keyval);
        if (vk == 0) return TRUE;
        bool alt = (event->state & GDK_MOD1_MASK) != 0;
        bool down = event->type == GDK_KEY_PRESS;
        UINT message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
        HWND target = GetFocus();
        if (target != nullptr) PostInputMessage(target, message, vk, alt ? kAltDown : 0);
        return TRUE;
    }

    static gboolean OnDeleteEvent(GtkWidget* window, GdkEvent*, gpointer) {
        // The close box: what the window menu's Close sends.
        auto h = static_cast<HWND>(g_object_get_data(G_OBJECT(window), "kc-hwnd"));
        PostInputMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    }

    bool m_up = false;
    HWND m_focus = nullptr;
    std::unordered_map<HWND, Dialog> m_dialogs;
    std::unordered_map<HWND, GtkWidget*> m_widgets;
};

GtkDisplay& Display() {
    static GtkDisplay display;
    return display;
}

}  // namespace

DisplayBackend& TheDisplayBackend() { return Display(); }

}  // namespace shell
