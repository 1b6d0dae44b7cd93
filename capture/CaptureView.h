#pragma once

#include "capture/CaptureModel.h"
#include "platform/GObjectPtr.h"
#include "platform/SignalConnection.h"

#include <gtk/gtk.h>
#include <vector>

namespace orvela {

// What the capture panel shows: the header with the status line, the text field
// that grows from one to eight lines, the key hint and the "Сохранить" button, on
// a rounded card. It follows the model and writes the typed text back into it.
class CaptureView {
public:
    static constexpr int width = 560;
    static constexpr int maximumLines = 8;
    static constexpr const char* title = "Запись";
    static constexpr const char* placeholder = "Что на уме";
    static constexpr const char* hint = "↩ сохранить · Alt+↩ новая строка · Esc закрыть";
    static constexpr const char* saveTitle = "Сохранить";

    explicit CaptureView(CaptureModel& model);
    CaptureView(const CaptureView&) = delete;
    CaptureView& operator=(const CaptureView&) = delete;

    GtkWidget* widget() const { return root_.get(); }
    GtkWidget* saveButton() const { return saveButton_; }
    GtkTextView* field() const { return GTK_TEXT_VIEW(field_); }
    // Puts the keyboard into the text field.
    void focusField();

private:
    GtkWidget* buildHeader();
    GtkWidget* buildField();
    GtkWidget* buildFooter();
    bool keyPressed(GdkEventKey* event);
    void textChanged();

    CaptureModel& model_;
    GObjectPtr<GtkWidget> root_;
    GtkWidget* flashRevealer_ = nullptr;
    GtkWidget* flashLabel_ = nullptr;
    GtkWidget* field_ = nullptr;
    GtkWidget* placeholder_ = nullptr;
    GtkWidget* scroller_ = nullptr;
    GtkWidget* saveButton_ = nullptr;
    bool writingBuffer_ = false;
    std::vector<SignalConnection> connections_;
    std::vector<Subscription> subscriptions_;
};

}  // namespace orvela
