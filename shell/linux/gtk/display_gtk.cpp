// The GTK 3 display backend: shows each dialog of the core as a fixed-size
// GtkWindow whose controls sit at their template rectangles, mirrors texts
// and the keyboard focus, and reports mouse and keyboard input by posting
// messages. GTK itself never acts on input here: no keyboard navigation, no
// activation, no default button, no focus moves of its own. The one
// exception is a message box, which is GTK's own modal dialog.
#include "display_backend.h"
#include "layer_internal.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace shell {
namespace {

// Bits of a key message's lParam, as the window system sets them.
constexpr DWORD kKeyAltDown = 1u << 29;
constexpr DWORD kKeyWasDown = 1u << 30;
constexpr DWORD kKeyReleased = 1u << 31;
// Mouse message wParam flags.
constexpr WPARAM kMkLButton = 0x0001;
constexpr WPARAM kMkShift = 0x0004;
constexpr WPARAM kMkControl = 0x0008;

// Space a button and a bordered edit keep between their border and their
// text, so a text that "fits" is not drawn on the border.
constexpr int kBorderPx = 1;
constexpr int kButtonPaddingPx = 2;
constexpr int kEditPaddingPx = 2;

// The Windows virtual-key code of a key, from its keyval without modifiers
// (so Shift+1 is still '1'); 0 for keys the window system does not report.
UINT VirtualKeyOf(guint keyval) {
    switch (keyval) {
        case GDK_KEY_BackSpace: return 0x08;
        case GDK_KEY_Tab:
        case GDK_KEY_ISO_Left_Tab: return VK_TAB;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter: return VK_RETURN;
        case GDK_KEY_Shift_L:
        case GDK_KEY_Shift_R: return 0x10;
        case GDK_KEY_Control_L:
        case GDK_KEY_Control_R: return 0x11;
        case GDK_KEY_Alt_L:
        case GDK_KEY_Alt_R:
        case GDK_KEY_Meta_L:
        case GDK_KEY_Meta_R: return 0x12;
        case GDK_KEY_Escape: return VK_ESCAPE;
        case GDK_KEY_space:
        case GDK_KEY_KP_Space: return VK_SPACE;
        case GDK_KEY_Page_Up:
        case GDK_KEY_KP_Page_Up: return 0x21;
        case GDK_KEY_Page_Down:
        case GDK_KEY_KP_Page_Down: return 0x22;
        case GDK_KEY_End:
        case GDK_KEY_KP_End: return 0x23;
        case GDK_KEY_Home:
        case GDK_KEY_KP_Home: return 0x24;
        case GDK_KEY_Left:
        case GDK_KEY_KP_Left: return VK_LEFT;
        case GDK_KEY_Up:
        case GDK_KEY_KP_Up: return VK_UP;
        case GDK_KEY_Right:
        case GDK_KEY_KP_Right: return VK_RIGHT;
        case GDK_KEY_Down:
        case GDK_KEY_KP_Down: return VK_DOWN;
        case GDK_KEY_Insert:
        case GDK_KEY_KP_Insert: return 0x2D;
        case GDK_KEY_Delete:
        case GDK_KEY_KP_Delete: return 0x2E;
        default: break;
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) return static_cast<UINT>(0x70 + (keyval - GDK_KEY_F1));
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return static_cast<UINT>('0' + (keyval - GDK_KEY_0));
    guint upper = gdk_keyval_to_upper(keyval);
    if (upper >= GDK_KEY_A && upper <= GDK_KEY_Z) return static_cast<UINT>('A' + (upper - GDK_KEY_A));
    return 0;
}

// Pixels of a dialog-unit length: `units` times `basePx` over `per` (4
// horizontally, 8 vertically), rounded half away from zero as MulDiv does.
int Px(int units, double basePx, int per) { return static_cast<int>(std::lround(units * basePx / per)); }

// GTK shows only valid UTF-8; a stray byte must not blank a whole text.
std::string ValidUtf8(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string result = valid;
    g_free(valid);
    return result;
}

class GtkDisplay : public DisplayBackend {
public:
    // Builds the GtkWindow of a dialog, sized from its font's dialog base
    // units (widened, with their ratio kept, until every template text fits
    // its rectangle). Returns false with a sentence when there is no display.
    // Never shows the window and never moves the core's focus.
    bool CreateDialogWindow(const DialogInfo& dialog, std::string& error) override {
        if (!EnsureGtk(error)) return false;
        try {
            BuildDialog(dialog);
        } catch (...) {
            error = "not enough memory for the window";
            return false;
        }
        return true;
    }

    // Shows a created dialog centred on the screen and puts GTK's focus where
    // the core has it (GTK would otherwise pick a widget of its own on map).
    void ShowDialogWindow(HWND dialog) override {
        Dialog* d = FindDialog(dialog);
        if (d == nullptr) return;
        gtk_widget_show_all(d->window);
        gtk_window_present(GTK_WINDOW(d->window));
        MirrorFocus(GetFocus());
    }

    // Destroys the dialog's window and lets GTK finish with it, so that it is
    // off the screen when this returns. Posts nothing.
    void DestroyDialogWindow(HWND dialog) override {
        auto it = std::find_if(m_dialogs.begin(), m_dialogs.end(),
                               [&](const std::unique_ptr<Dialog>& d) { return d->handle == dialog; });
        if (it == m_dialogs.end()) return;
        std::unique_ptr<Dialog> d = std::move(*it);
        m_dialogs.erase(it);
        GdkScreen* screen = gtk_widget_get_screen(d->window);
        gtk_widget_destroy(d->window);
        if (d->css != nullptr) {
            gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(d->css));
            g_object_unref(d->css);
        }
        Drain();
        gdk_display_flush(gdk_display_get_default());
    }

    // Mirrors a window's new text; a text that is not UTF-8 shows with its
    // stray bytes replaced.
    void TextChanged(HWND window, const std::string& text) override {
        try {
            MirrorText(window, ValidUtf8(text));
        } catch (...) {
            // Out of memory for a copy of the text: the screen keeps the old one.
        }
    }

    // Mirrors the focus the core has already moved; a dialog or none leaves
    // no widget focused.
    void FocusChanged(HWND window) override { MirrorFocus(window); }

    // A control's widget allocation or the dialog's content area, the areas
    // the mouse coordinates of OnButtonEvent are relative to.
    bool ClientSize(HWND window, int& width, int& height) override {
        Dialog* d = FindDialogOf(window);
        if (d == nullptr) return false;
        GtkWidget* widget = d->handle == window ? gtk_bin_get_child(GTK_BIN(d->window)) : nullptr;
        for (const Control& c : d->controls)
            if (c.handle == window) widget = c.widget;
        if (widget == nullptr || !gtk_widget_get_realized(widget)) return false;
        width = gtk_widget_get_allocated_width(widget);
        height = gtk_widget_get_allocated_height(widget);
        return true;
    }

    std::uint64_t NowMs() override { return static_cast<std::uint64_t>(g_get_monotonic_time() / 1000); }

    // Dispatches what GLib has ready, without blocking; bounded so that a
    // source that is always ready cannot keep the message loop from running.
    void Poll() override {
        for (int i = 0; i < 256 && g_main_context_iteration(nullptr, FALSE); ++i) {
        }
    }

    // Blocks in GLib until an event has posted a message or the deadline has
    // come. Without a deadline and without a window nothing could ever be
    // posted: that ends the process with exit code 1.
    void Wait(std::optional<std::uint64_t> deadlineMs) override {
        if (!deadlineMs && m_dialogs.empty()) {
            ReportToStderr("keyconfig: the message loop waits for input, but no window is open to give it");
            std::_Exit(1);
        }
        struct Alarm {
            bool rang = false;
        } alarm;
        guint source = 0;
        if (deadlineMs) {
            std::uint64_t now = NowMs();
            if (*deadlineMs <= now) return;
            std::uint64_t ms = std::min<std::uint64_t>(*deadlineMs - now, G_MAXUINT);
            source = g_timeout_add_full(
                G_PRIORITY_DEFAULT, static_cast<guint>(ms),
                [](gpointer data) -> gboolean {
                    static_cast<Alarm*>(data)->rang = true;
                    return G_SOURCE_REMOVE;
                },
                &alarm, nullptr);
        }
        std::uint64_t posted = m_posted;
        while (m_posted == posted && !alarm.rang) g_main_context_iteration(nullptr, TRUE);
        if (source != 0 && !alarm.rang) g_source_remove(source);
    }

    // A modal GTK message dialog with one "OK" button over the owner's
    // window; returns IDOK however it is closed. Without a display the text
    // goes to stderr instead. The owner takes no input meanwhile (GTK's
    // modal grab), as an owner disabled by a message box takes none.
    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        std::string error;
        if (!EnsureGtk(error)) {
            ReportToStderr(caption + ": " + text);
            return IDOK;
        }
        Dialog* parent = FindDialogOf(owner);
        GtkMessageType kind = GTK_MESSAGE_OTHER;
        const char* icon = nullptr;
        switch (type & 0xF0u) {
            case 0x10: kind = GTK_MESSAGE_ERROR; icon = "dialog-error"; break;
            case 0x20: kind = GTK_MESSAGE_QUESTION; icon = "dialog-question"; break;
            case 0x30: kind = GTK_MESSAGE_WARNING; icon = "dialog-warning"; break;
            case 0x40: kind = GTK_MESSAGE_INFO; icon = "dialog-information"; break;
            default: break;
        }
        GtkWidget* box = gtk_message_dialog_new(parent != nullptr ? GTK_WINDOW(parent->window) : nullptr,
                                                static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL |
                                                                            GTK_DIALOG_DESTROY_WITH_PARENT),
                                                kind, GTK_BUTTONS_NONE, "%s", ValidUtf8(text).c_str());
        // Japanese in a Japanese face: a fallback font may draw its kanji
        // with Chinese shapes.
        gtk_widget_set_name(box, "keyconfig-message");
        GtkCssProvider* css = gtk_css_provider_new();
        std::string style = "#keyconfig-message label { font-family: \"" + ChooseFace("") + "\"; }\n";
        gtk_css_provider_load_from_data(css, style.c_str(), -1, nullptr);
        GdkScreen* screen = gtk_widget_get_screen(box);
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        gtk_window_set_title(GTK_WINDOW(box), ValidUtf8(caption).c_str());
        gtk_window_set_position(GTK_WINDOW(box), parent != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
        gtk_dialog_add_button(GTK_DIALOG(box), "OK", GTK_RESPONSE_OK);
        gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
        if (icon != nullptr) {
            // GTK 3 message dialogs show no icon of their own any more; the
            // type of a message box is told by its icon.
            GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), image);
            G_GNUC_END_IGNORE_DEPRECATIONS
            gtk_widget_show(image);
        }
        gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
        gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(css));
        g_object_unref(css);
        Drain();
        return IDOK;
    }

private:
    struct Control {
        HWND handle = nullptr;
        ControlKind kind = ControlKind::Static;
        GtkWidget* widget = nullptr;
    };
    struct Dialog {
        HWND handle = nullptr;
        GtkWidget* window = nullptr;
        GtkCssProvider* css = nullptr;
        std::vector<Control> controls;
    };
    // What the font of a dialog measures, in pixels.
    struct FontMeasure {
        std::string face;
        int pixelSize = 16;
        double baseX = 8;  // average width of the Latin letters
        double baseY = 16;  // height of a line
    };

    bool EnsureGtk(std::string& error) {
        if (m_up) return true;
        const char* display = g_getenv("DISPLAY");
        bool named = display != nullptr && *display != '\0';
        if (g_get_prgname() == nullptr) g_set_prgname("keyconfig");
        for (int attempt = 0;; ++attempt) {
            if (gtk_init_check(nullptr, nullptr)) break;
            // A busy X server whose queue of new connections is full refuses
            // one for a moment (the connect fails with EAGAIN; GTK does not
            // say why it failed), so a named display gets a second of retries.
            if (named && attempt < 20) {
                g_usleep(50 * 1000);
                continue;
            }
            error = named ? std::string("cannot open display ") + display
                          : "cannot open the display (DISPLAY is not set)";
            return false;
        }
        m_up = true;
        return true;
    }

    void BuildDialog(const DialogInfo& dialog) {
        GdkScreen* screen = gdk_screen_get_default();
        FontMeasure font = MeasureFont(screen, dialog);
        double scale = FitScale(screen, font, dialog);
        double baseX = font.baseX * scale, baseY = font.baseY * scale;

        auto d = std::make_unique<Dialog>();
        d->handle = dialog.handle;
        std::string name = "keyconfig-dialog-" + std::to_string(++m_dialogCount);
        std::string scope = "#" + name;
        std::string style = scope + ", " + scope + " * { font-family: \"" + font.face + "\"; font-size: " +
                            std::to_string(font.pixelSize) + "px; }\n" +
                            scope + " button { padding: 0 " + std::to_string(kButtonPaddingPx) +
                            "px; min-height: 0; min-width: 0; }\n" +
                            scope + " button label { padding: 0; margin: 0; min-height: 0; min-width: 0; }\n" +
                            scope + " entry { padding: 0 " + std::to_string(kEditPaddingPx) +
                            "px; min-height: 0; min-width: 0; }\n" +
                            scope + " label { padding: 0; margin: 0; min-height: 0; min-width: 0; }\n";
        d->css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(d->css, style.c_str(), -1, nullptr);
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(d->css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        d->window = window;
        gtk_widget_set_name(window, name.c_str());
        gtk_window_set_title(GTK_WINDOW(window), ValidUtf8(dialog.caption).c_str());
        gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
        gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
        gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);

        GtkWidget* fixed = gtk_fixed_new();
        gtk_widget_set_size_request(fixed, Px(dialog.cx, baseX, 4), Px(dialog.cy, baseY, 8));
        gtk_container_add(GTK_CONTAINER(window), fixed);
        for (const ControlInfo& c : dialog.controls) {
            GtkWidget* w = nullptr;
            std::string text = ValidUtf8(c.text);
            switch (c.kind) {
                case ControlKind::Button:
                    w = gtk_button_new_with_label(text.c_str());
                    break;
                case ControlKind::Edit:
                    w = gtk_entry_new();
                    gtk_editable_set_editable(GTK_EDITABLE(w), FALSE);
                    gtk_entry_set_width_chars(GTK_ENTRY(w), 1);
                    gtk_entry_set_has_frame(GTK_ENTRY(w), (c.style & WS_BORDER) != 0);
                    gtk_entry_set_text(GTK_ENTRY(w), text.c_str());
                    break;
                case ControlKind::Static:
                    w = gtk_label_new(text.c_str());
                    // SS_LEFT: left-aligned. Windows draws it at the top of a
                    // rectangle one line high; the widened units make the
                    // rectangle taller than the line, and the middle keeps the
                    // text level with its box's as the template means it.
                    gtk_label_set_xalign(GTK_LABEL(w), 0.0f);
                    gtk_label_set_yalign(GTK_LABEL(w), 0.5f);
                    break;
            }
            gtk_widget_set_size_request(w, Px(c.cx, baseX, 4), Px(c.cy, baseY, 8));
            gtk_fixed_put(GTK_FIXED(fixed), w, Px(c.x, baseX, 4), Px(c.y, baseY, 8));
            // Entries and buttons may hold GTK's focus so that they draw it;
            // only the core ever gives it to them (MirrorFocus).
            gtk_widget_set_can_focus(w, c.kind != ControlKind::Static);
            gtk_widget_add_events(w, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
            g_object_set_data(G_OBJECT(w), "kc-hwnd", c.handle);
            g_signal_connect(w, "button-press-event", G_CALLBACK(OnButtonEvent), this);
            g_signal_connect(w, "button-release-event", G_CALLBACK(OnButtonEvent), this);
            d->controls.push_back({c.handle, c.kind, w});
        }
        // Clicks beside the controls and on the labels (which have no window
        // of their own) belong to the dialog.
        gtk_widget_add_events(window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
        g_object_set_data(G_OBJECT(window), "kc-hwnd", dialog.handle);
        g_signal_connect(window, "button-press-event", G_CALLBACK(OnButtonEvent), this);
        g_signal_connect(window, "button-release-event", G_CALLBACK(OnButtonEvent), this);
        g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyEvent), this);
        g_signal_connect(window, "key-release-event", G_CALLBACK(OnKeyEvent), this);
        g_signal_connect(window, "delete-event", G_CALLBACK(OnDeleteEvent), this);

        gtk_widget_realize(window);
        if (GdkWindow* gdk = gtk_widget_get_window(window)) {
            // A caption with the window menu and the close box, no minimize
            // or maximize box, no sizing border.
            gdk_window_set_functions(gdk, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE));
            gdk_window_set_decorations(
                gdk, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU));
        }
        m_dialogs.push_back(std::move(d));
    }

    // The template's face where it is installed, else a Japanese sans.
    static std::string ChooseFace(const std::string& wanted) {
        PangoFontMap* map = pango_cairo_font_map_get_default();
        PangoFontFamily** families = nullptr;
        int count = 0;
        pango_font_map_list_families(map, &families, &count);
        std::string chosen;
        for (const char* candidate : {wanted.c_str(), "Noto Sans CJK JP", "IPAGothic", "VL Gothic", "TakaoGothic"}) {
            for (int i = 0; i < count && chosen.empty(); ++i)
                if (*candidate != '\0' && g_ascii_strcasecmp(pango_font_family_get_name(families[i]), candidate) == 0)
                    chosen = candidate;
            if (!chosen.empty()) break;
        }
        g_free(families);
        return chosen.empty() ? "Sans" : chosen;
    }

    static PangoFontDescription* Font(const FontMeasure& font) {
        PangoFontDescription* desc = pango_font_description_new();
        pango_font_description_set_family(desc, font.face.c_str());
        pango_font_description_set_absolute_size(desc, font.pixelSize * PANGO_SCALE);
        return desc;
    }

    // The text's size in pixels as the dialog's widgets lay it out.
    static void TextSize(GdkScreen* screen, const FontMeasure& font, const std::string& text, int& width,
                         int& height) {
        PangoContext* context = gdk_pango_context_get_for_screen(screen);
        pango_context_set_language(context, pango_language_from_string("ja"));
        PangoLayout* layout = pango_layout_new(context);
        PangoFontDescription* desc = Font(font);
        pango_layout_set_font_description(layout, desc);
        pango_font_description_free(desc);
        pango_layout_set_text(layout, text.c_str(), -1);
        pango_layout_get_pixel_size(layout, &width, &height);
        g_object_unref(layout);
        g_object_unref(context);
    }

    // The dialog base units as the Windows dialog manager takes them from the
    // dialog's font: the rounded average width of the 52 Latin letters, and
    // the font's height (ascent plus descent). Points are 1/72 inch at the
    // screen's resolution.
    static FontMeasure MeasureFont(GdkScreen* screen, const DialogInfo& dialog) {
        FontMeasure font;
        font.face = ChooseFace(dialog.fontFace);
        double dpi = gdk_screen_get_resolution(screen);
        if (dpi <= 0) dpi = 96;
        int points = dialog.fontPointSize > 0 ? dialog.fontPointSize : 9;
        font.pixelSize = std::max(1, static_cast<int>(std::lround(points * dpi / 72.0)));

        int w = 0, h = 0;
        TextSize(screen, font, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", w, h);
        font.baseX = std::max(1, (w / 26 + 1) / 2);

        PangoContext* context = gdk_pango_context_get_for_screen(screen);
        PangoFontDescription* desc = Font(font);
        PangoFontMetrics* metrics = pango_context_get_metrics(context, desc, pango_language_from_string("ja"));
        int height = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics));
        pango_font_metrics_unref(metrics);
        pango_font_description_free(desc);
        g_object_unref(context);
        font.baseY = std::max(1, height > 0 ? height : h);
        return font;
    }

    // How much the base units must grow (both alike, so the layout keeps its
    // proportions) for every template text to show whole in its rectangle:
    // a Japanese text is far wider than the Latin average the units come from.
    static double FitScale(GdkScreen* screen, const FontMeasure& font, const DialogInfo& dialog) {
        // A length a control must hold: `px` pixels in `units` dialog units
        // of `basePx` per `per` units.
        struct Need {
            int px;
            int units;
            double basePx;
            int per;
        };
        std::vector<Need> needs;
        for (const ControlInfo& c : dialog.controls) {
            int w = 0, h = 0;
            TextSize(screen, font, c.text.empty() ? std::string("Pad") : c.text, w, h);
            switch (c.kind) {
                case ControlKind::Static:
                    if (!c.text.empty()) needs.push_back({w, c.cx, font.baseX, 4});
                    needs.push_back({h, c.cy, font.baseY, 8});
                    break;
                case ControlKind::Button:
                    needs.push_back({w + 2 * (kBorderPx + kButtonPaddingPx), c.cx, font.baseX, 4});
                    needs.push_back({h + 2 * kBorderPx, c.cy, font.baseY, 8});
                    break;
                case ControlKind::Edit:
                    // An edit scrolls its text (ES_AUTOHSCROLL); only its
                    // height must hold a line.
                    needs.push_back({h + 2 * kBorderPx, c.cy, font.baseY, 8});
                    break;
            }
        }
        double scale = 1.0;
        for (const Need& n : needs)
            if (n.units > 0) scale = std::max(scale, n.px * n.per / (n.units * n.basePx));
        // The rectangles are rounded to whole pixels: grow a little more where
        // the rounding took a pixel away.
        auto allFit = [&] {
            return std::all_of(needs.begin(), needs.end(), [&](const Need& n) {
                return n.units <= 0 || Px(n.units, n.basePx * scale, n.per) >= n.px;
            });
        };
        for (int i = 0; i < 100 && !allFit(); ++i) scale *= 1.005;
        return scale;
    }

    Dialog* FindDialog(HWND h) {
        for (auto& d : m_dialogs)
            if (d->handle == h) return d.get();
        return nullptr;
    }

    // The dialog that is `h` or holds the control `h`.
    Dialog* FindDialogOf(HWND h) {
        for (auto& d : m_dialogs) {
            if (d->handle == h) return d.get();
            for (const Control& c : d->controls)
                if (c.handle == h) return d.get();
        }
        return nullptr;
    }

    // Puts a text of the core on its widget: entry text, label, button label
    // or, for a dialog, its title.
    void MirrorText(HWND window, const std::string& shown) {
        for (auto& d : m_dialogs) {
            if (d->handle == window) {
                gtk_window_set_title(GTK_WINDOW(d->window), shown.c_str());
                return;
            }
            for (Control& c : d->controls) {
                if (c.handle != window) continue;
                switch (c.kind) {
                    case ControlKind::Edit: gtk_entry_set_text(GTK_ENTRY(c.widget), shown.c_str()); break;
                    case ControlKind::Button: gtk_button_set_label(GTK_BUTTON(c.widget), shown.c_str()); break;
                    case ControlKind::Static: gtk_label_set_text(GTK_LABEL(c.widget), shown.c_str()); break;
                }
                return;
            }
        }
    }

    void MirrorFocus(HWND focus) {
        for (auto& d : m_dialogs) {
            GtkWidget* target = nullptr;
            for (const Control& c : d->controls)
                if (c.handle == focus && c.kind != ControlKind::Static) target = c.widget;
            if (target == nullptr)
                gtk_window_set_focus(GTK_WINDOW(d->window), nullptr);
            else if (GTK_IS_ENTRY(target))
                // A click or the core's move gives the focus; it selects nothing.
                gtk_entry_grab_focus_without_selecting(GTK_ENTRY(target));
            else
                gtk_widget_grab_focus(target);
        }
    }

    void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        ++m_posted;
        PostInputMessage(window, message, wParam, lParam);
    }

    // Lets GTK finish what a destroyed window left, without blocking.
    void Drain() {
        for (int i = 0; i < 256 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
    }

    // Button 1 on a control (or the dialog): WM_LBUTTONDOWN / WM_LBUTTONUP in
    // the window's client coordinates. Every press and release is taken from
    // GTK, so no GTK button clicks and no GTK focus moves on a click.
    static gboolean OnButtonEvent(GtkWidget* widget, GdkEventButton* event, gpointer self) {
        if (event->button != 1) return TRUE;
        if (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE) return TRUE;  // GTK's double clicks
        auto h = static_cast<HWND>(g_object_get_data(G_OBJECT(widget), "kc-hwnd"));
        int originX = 0, originY = 0;
        GtkWidget* client = GTK_IS_WINDOW(widget) ? gtk_bin_get_child(GTK_BIN(widget)) : widget;
        if (client != nullptr && gtk_widget_get_window(client) != nullptr) {
            gdk_window_get_origin(gtk_widget_get_window(client), &originX, &originY);
            if (!gtk_widget_get_has_window(client)) {
                GtkAllocation a;
                gtk_widget_get_allocation(client, &a);
                originX += a.x;
                originY += a.y;
            }
        }
        auto x = static_cast<short>(std::lround(event->x_root) - originX);
        auto y = static_cast<short>(std::lround(event->y_root) - originY);
        bool down = event->type == GDK_BUTTON_PRESS;
        WPARAM keys = (down ? kMkLButton : 0) | ((event->state & GDK_SHIFT_MASK) != 0 ? kMkShift : 0) |
                      ((event->state & GDK_CONTROL_MASK) != 0 ? kMkControl : 0);
        static_cast<GtkDisplay*>(self)->Post(h, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, keys,
                                             MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
        return TRUE;
    }

    // Every key of the dialog's window: WM_KEYDOWN / WM_KEYUP to the window
    // that has the core's focus, WM_SYSKEYDOWN / WM_SYSKEYUP with the Alt bit
    // while Alt is held (so Alt+F4 is the core's to close with). With no
    // focus, the dialog gets the key as a system key, as the active window
    // does on Windows. GTK never sees the key: no navigation, no activation.
    static gboolean OnKeyEvent(GtkWidget* window, GdkEventKey* event, gpointer self) {
        auto* display = static_cast<GtkDisplay*>(self);
        guint keyval = event->keyval;
        guint plain = 0;
        GdkKeymap* keymap = gdk_keymap_get_for_display(gtk_widget_get_display(window));
        if (gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode, static_cast<GdkModifierType>(0),
                                                event->group, &plain, nullptr, nullptr, nullptr))
            keyval = plain;
        UINT vk = VirtualKeyOf(keyval);
        if (vk == 0) return TRUE;
        bool down = event->type == GDK_KEY_PRESS;
        bool alt = (event->state & GDK_MOD1_MASK) != 0 || (down && vk == 0x12);
        std::size_t code = event->hardware_keycode % display->m_keysDown.size();
        // Repeat count 1 and the scan code: X keycodes are the PC's plus 8.
        DWORD scanCode = event->hardware_keycode >= 8 ? (event->hardware_keycode - 8u) & 0xFFu : 0u;
        DWORD bits = 1u | (scanCode << 16);
        if (alt) bits |= kKeyAltDown;
        if (!down || display->m_keysDown[code]) bits |= kKeyWasDown;
        if (!down) bits |= kKeyReleased;
        display->m_keysDown[code] = down;

        HWND target = GetFocus();
        bool system = alt || vk == 0x79;  // F10 is the menu key, a system key
        if (target == nullptr) {
            target = static_cast<HWND>(g_object_get_data(G_OBJECT(window), "kc-hwnd"));
            system = true;
        }
        UINT message = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
        display->Post(target, message, vk, static_cast<LPARAM>(bits));
        return TRUE;
    }

    // The close box: what the window menu's Close sends; the core turns it
    // into WM_CLOSE. GTK does not destroy the window.
    static gboolean OnDeleteEvent(GtkWidget* window, GdkEvent*, gpointer self) {
        auto h = static_cast<HWND>(g_object_get_data(G_OBJECT(window), "kc-hwnd"));
        static_cast<GtkDisplay*>(self)->Post(h, WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    }

    bool m_up = false;
    std::vector<std::unique_ptr<Dialog>> m_dialogs;
    unsigned m_dialogCount = 0;
    std::uint64_t m_posted = 0;
    std::bitset<256> m_keysDown;  // by X keycode, for the "was down" bit of a repeat
};

GtkDisplay& Display() {
    static GtkDisplay display;
    return display;
}

}  // namespace

DisplayBackend& TheDisplayBackend() { return Display(); }

}  // namespace shell
