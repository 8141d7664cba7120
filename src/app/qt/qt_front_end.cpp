#include "app/qt/qt_front_end.h"

#include <chrono>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QUrl>

namespace app {

namespace {

constexpr int kTwipsPerPixel = 15;

QString q(const std::string& s) { return QString::fromStdString(s); }

// Closing the window asks the Quit button, which is disabled during a run.
class WizardDialog : public QDialog {
 public:
  explicit WizardDialog(host::frmMain& wizard) : wizard_(wizard) {}
  void reject() override {
    if (!wizard_.isUnloaded()) wizard_.click("cmdCancel");
  }

 private:
  host::frmMain& wizard_;
};

// Hands the events of one widget to the wizard: the server list looks for
// servers when it first receives the focus, the Marlin folder box reads its
// path when the person leaves it or presses Enter in it. `handle` returns
// true for an event it has used up.
class EventWatcher : public QObject {
 public:
  EventWatcher(QObject* parent, std::function<bool(QEvent*)> handle) : QObject(parent), handle_(std::move(handle)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    return handle_(event) || QObject::eventFilter(watched, event);
  }

 private:
  std::function<bool(QEvent*)> handle_;
};

// The dialog keeps the classic fixed boxes of its controls; a caption wider
// than its box (the Dutch ones, in fonts wider than the classic dialog font)
// gets a smaller font instead of being cut.
void fitToWidth(QLabel* label) {
  if (label->wordWrap()) return;
  QFont font = QApplication::font(label);
  if (font.pointSizeF() <= 0) return;
  while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
    font.setPointSizeF(font.pointSizeF() - 0.5);
  label->setFont(font);
}

}  // namespace

QtFrontEnd::QtFrontEnd() {
  if (!QApplication::instance()) ownApp_ = std::make_unique<QApplication>(argc_, argv_);
}

QtFrontEnd::QtFrontEnd(int& argc, char** argv) {
  if (!QApplication::instance()) ownApp_ = std::make_unique<QApplication>(argc, argv);
}

QtFrontEnd::~QtFrontEnd() = default;

QWidget* QtFrontEnd::widget(const std::string& name) const {
  auto it = widgets_.find(name);
  return it == widgets_.end() ? nullptr : it->second;
}

void QtFrontEnd::showModal(host::frmMain& wizard) {
  wizard_ = &wizard;
  WizardDialog dialog(wizard);
  dialog_ = &dialog;
  dialog.setModal(true);
  build();
  wizard.onUnload = [&dialog] { dialog.done(0); };
  sync();
  if (onShown) {
    auto shown = onShown;
    QMetaObject::invokeMethod(&dialog, [shown, &dialog] { shown(dialog); }, Qt::QueuedConnection);
  }
  if (!wizard.isUnloaded()) dialog.exec();
  wizard.onUnload = nullptr;
  while (busy_ > 0) setBusy(false);
  widgets_.clear();
  dialog_ = nullptr;
  wizard_ = nullptr;
}

void QtFrontEnd::build() {
  using K = host::Control::Kind;
  host::frmMain& w = *wizard_;
  // Frames first, so that their children can be placed inside them.
  for (int round = 0; round < 2; ++round) {
    for (const auto& name : w.controlOrder()) {
      const host::Control& c = w.control(name);
      if ((c.kind == K::Frame) != (round == 0)) continue;
      QWidget* parent = c.parent.empty() ? static_cast<QWidget*>(dialog_) : widgets_.at(c.parent);
      QWidget* made = nullptr;
      switch (c.kind) {
        case K::Label: {
          auto* label = new QLabel(parent);
          // Only the labels given room for several lines wrap.
          label->setWordWrap(c.height > 300);
          made = label;
          break;
        }
        case K::TextBox: {
          auto* edit = new QLineEdit(parent);
          if (name == "txtPw") edit->setEchoMode(QLineEdit::Password);
          QObject::connect(edit, &QLineEdit::textEdited, dialog_, [this, name](const QString& text) {
            wizard_->type(name, text.toStdString());
            sync();
          });
          if (name == "txtPathMarlin") {
            edit->installEventFilter(new EventWatcher(edit, [this, name](QEvent* event) {
              // Enter here reads the path instead of pressing Import. Opening
              // the context menu (to paste) is not leaving the box.
              const bool enter = event->type() == QEvent::KeyPress &&
                                 (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                                  static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
              const bool left = event->type() == QEvent::FocusOut &&
                                static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason;
              if (!enter && !left) return false;
              if (!syncing_ && wizard_) {
                wizard_->leave(name);
                sync();
              }
              return enter;
            }));
          }
          made = edit;
          break;
        }
        case K::ComboBox: {
          auto* combo = new QComboBox(parent);
          if (name == "cboServeur") {
            combo->setEditable(true);
            QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, dialog_, [this, name](const QString& text) {
              wizard_->type(name, text.toStdString());
              sync();
            });
            combo->installEventFilter(new EventWatcher(combo, [this, name](QEvent* event) {
              if (event->type() != QEvent::FocusIn || syncing_) return false;
              wizard_->focus(name);
              sync();
              return false;
            }));
          }
          QObject::connect(combo, qOverload<int>(&QComboBox::activated), dialog_, [this, name](int index) {
            wizard_->choose(name, index);
            sync();
          });
          made = combo;
          break;
        }
        case K::Button:
        case K::Option:
        case K::Check: {
          QAbstractButton* button = nullptr;
          if (c.kind == K::Button) button = new QPushButton(parent);
          if (c.kind == K::Option) button = new QRadioButton(parent);
          if (c.kind == K::Check) button = new QCheckBox(parent);
          // The model decides which option buttons exclude each other.
          button->setAutoExclusive(false);
          QObject::connect(button, &QAbstractButton::clicked, dialog_, [this, name] {
            wizard_->click(name);
            if (wizard_ && !wizard_->isUnloaded()) sync();
          });
          made = button;
          break;
        }
        case K::Frame: {
          // A frame covers what lies beneath it, as the SQL frame covers the
          // introduction text it is moved over.
          auto* frame = new QGroupBox(parent);
          frame->setAutoFillBackground(true);
          made = frame;
          break;
        }
        case K::ProgressBar: {
          auto* bar = new QProgressBar(parent);
          bar->setRange(0, 100);
          bar->setTextVisible(false);
          made = bar;
          break;
        }
        case K::Image: {
          auto* strip = new QLabel(parent);
          strip->setStyleSheet("background-color: #1f4e79; border-radius: 4px;");
          made = strip;
          break;
        }
      }
      made->setObjectName(q(name));
      widgets_[name] = made;
    }
  }
  for (const auto& name : w.controlOrder())
    if (w.control(name).kind == K::Frame) widgets_.at(name)->raise();
  if (auto* ok = qobject_cast<QPushButton*>(widget("cmdOk"))) ok->setDefault(true);
}

void QtFrontEnd::sync() {
  if (!wizard_ || !dialog_ || syncing_) return;
  syncing_ = true;
  using K = host::Control::Kind;
  host::frmMain& w = *wizard_;
  dialog_->setWindowTitle(q(w.caption));
  dialog_->setFixedSize(w.width / kTwipsPerPixel, w.height / kTwipsPerPixel);
  for (const auto& [name, widget] : widgets_) {
    const host::Control& c = w.control(name);
    QSignalBlocker block(widget);
    widget->setGeometry(c.left / kTwipsPerPixel, c.top / kTwipsPerPixel, c.width / kTwipsPerPixel,
                        c.height / kTwipsPerPixel);
    widget->setVisible(c.visible);
    widget->setEnabled(c.enabled && !w.isLocked(name));
    switch (c.kind) {
      case K::Label: {
        auto* label = static_cast<QLabel*>(widget);
        label->setText(q(c.text));
        label->setStyleSheet(c.foreColor == 255 ? "color: red;" : "");
        fitToWidth(label);
        break;
      }
      case K::TextBox: {
        auto* edit = static_cast<QLineEdit*>(widget);
        if (edit->text() != q(c.text)) edit->setText(q(c.text));
        break;
      }
      case K::ComboBox: {
        auto* combo = static_cast<QComboBox*>(widget);
        QStringList items;
        for (const auto& item : c.items) items << q(item);
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
        if (shown != items) {
          combo->clear();
          combo->addItems(items);
        }
        combo->setCurrentIndex(c.listIndex);
        if (combo->isEditable() && combo->currentText() != q(c.text)) combo->setEditText(q(c.text));
        break;
      }
      case K::Button:
        static_cast<QAbstractButton*>(widget)->setText(q(c.text));
        break;
      case K::Option:
      case K::Check: {
        auto* button = static_cast<QAbstractButton*>(widget);
        button->setText(q(c.text));
        button->setChecked(c.value);
        break;
      }
      case K::Frame:
        static_cast<QGroupBox*>(widget)->setTitle(q(c.text));
        break;
      case K::ProgressBar:
        static_cast<QProgressBar*>(widget)->setValue(c.progress);
        break;
      case K::Image:
        break;
    }
  }
  syncing_ = false;
}

base::MsgResult QtFrontEnd::messageBox(const std::string& text, base::MsgButtons buttons, base::MsgIcon icon,
                                       const std::string& title) {
  const std::string shownTitle = title.empty() ? "MarlinToKestrel" : title;
  // Repaints skipped to spare the run may have left the window behind: the
  // box must open over the progress and captions the run has reached.
  sync();
  if (dialog_) dialog_->repaint();
  if (messageHook) return messageHook(text, icon, shownTitle);
  QMessageBox box(dialog_);
  box.setWindowTitle(q(shownTitle));
  box.setText(q(text));
  switch (icon) {
    case base::MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case base::MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case base::MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case base::MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case base::MsgIcon::None: break;
  }
  switch (buttons) {
    case base::MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case base::MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case base::MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case base::MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  // The pointer must not stay an hourglass over a question.
  const bool restore = busy_ > 0;
  if (restore) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int answer = box.exec();
  if (restore) QApplication::restoreOverrideCursor();
  switch (answer) {
    case QMessageBox::Cancel: return base::MsgResult::Cancel;
    case QMessageBox::Yes: return base::MsgResult::Yes;
    case QMessageBox::No: return base::MsgResult::No;
    default: return base::MsgResult::Ok;
  }
}

void QtFrontEnd::finalMessage(const std::string& text, base::MsgIcon icon, const std::string& title,
                              const std::string& reportFile) {
  if (reportFile.empty()) {
    messageBox(text, base::MsgButtons::Ok, icon, title);
    return;
  }
  const std::string shownTitle = title.empty() ? "MarlinToKestrel" : title;
  // Over the progress and captions the run has reached, as every box.
  sync();
  if (dialog_) dialog_->repaint();
  bool open = false;
  if (messageHook) {
    open = messageHook(text, icon, shownTitle) == base::MsgResult::Yes;
  } else {
    QMessageBox box(dialog_);
    box.setWindowTitle(q(shownTitle));
    box.setText(q(text));
    if (icon == base::MsgIcon::Exclamation) box.setIcon(QMessageBox::Warning);
    box.addButton(QMessageBox::Ok);
    const bool french = !wizard_ || wizard_->ctx.french();
    QPushButton* openButton = box.addButton(french ? "Ouvrir le rapport" : "Rapport openen", QMessageBox::ActionRole);
    const bool restore = busy_ > 0;
    if (restore) QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (restore) QApplication::restoreOverrideCursor();
    open = box.clickedButton() == openButton;
  }
  if (!open) return;
  if (openHook)
    openHook(reportFile);
  else
    QDesktopServices::openUrl(QUrl::fromLocalFile(q(reportFile)));
}

void QtFrontEnd::processEvents() {
  // Whatever is skipped here is shown by the next repaint, by the next
  // message box or at the end of the click that started the run.
  const auto now = std::chrono::steady_clock::now();
  if (now - lastRepaint_ < repaintInterval) return;
  lastRepaint_ = now;
  sync();
  QApplication::processEvents();
}

void QtFrontEnd::setBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++busy_;
  } else if (busy_ > 0) {
    QApplication::restoreOverrideCursor();
    --busy_;
  }
}

std::optional<std::string> QtFrontEnd::browseFolder(const std::string& title, const std::string& start) {
  if (folderHook) return folderHook(title);
  QString folder = QFileDialog::getExistingDirectory(dialog_, q(title), q(start), QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

}  // namespace app
