#pragma once

#include <gtk/gtk.h>

// What a screen reader (Orca, through GTK's ATK bridge and AT-SPI) learns of a
// widget beyond what GTK gives it: the names of controls whose text does not
// say what they are, the label relation of a form row, and announcements of a
// status that changes away from the keyboard.
namespace orvela::Accessible {

inline void setName(GtkWidget* widget, const char* name) {
    atk_object_set_name(gtk_widget_get_accessible(widget), name);
}

inline void setDescription(GtkWidget* widget, const char* description) {
    atk_object_set_description(gtk_widget_get_accessible(widget), description);
}

// The row's text names the control: the label relation both ways (a mnemonic
// label gives it), and, unless keepName, the control's own name, which GTK
// leaves empty for a switch.
inline void labelBy(GtkWidget* control, GtkWidget* label, bool keepName = false) {
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), control);
    if (!keepName) setName(control, gtk_label_get_text(GTK_LABEL(label)));
}

// A text that says more about the control, read after its name.
inline void describeBy(GtkWidget* control, GtkWidget* text) {
    AtkObject* described = gtk_widget_get_accessible(control);
    AtkObject* describing = gtk_widget_get_accessible(text);
    atk_object_add_relationship(described, ATK_RELATION_DESCRIBED_BY, describing);
    atk_object_add_relationship(describing, ATK_RELATION_DESCRIPTION_FOR, described);
    if (GTK_IS_LABEL(text)) setDescription(control, gtk_label_get_text(GTK_LABEL(text)));
}

// A label whose text is a status: screen readers speak a notification when it
// comes on screen, wherever the keyboard is.
inline void makeNotification(GtkWidget* label) {
    atk_object_set_role(gtk_widget_get_accessible(label), ATK_ROLE_NOTIFICATION);
}

// Speaks a notification's new text. One that comes on screen is spoken by
// then; one already there says so again, since screen readers speak a
// notification only when it shows, and ATK 2.46 has no announcement of its own.
inline void announce(GtkWidget* notification) {
    if (gtk_widget_get_mapped(notification))
        atk_object_notify_state_change(gtk_widget_get_accessible(notification), ATK_STATE_SHOWING, TRUE);
}

}  // namespace orvela::Accessible
