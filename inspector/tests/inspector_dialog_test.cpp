#include "inspector_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "slice_view.h"
#include "test_support.h"

// Failed checks print texts, not their UTF-16 bytes.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace ferndel {
namespace {

using talvik::testing::ScratchDir;
using talvik::testing::write_file;

// One QApplication for the whole run; created only when tests run, not when they are listed.
class QtApplication : public ::testing::Environment {
  public:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

  private:
    int m_argc = 1;
    char m_name[32] = "inspector_dialog_tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

// Waits in the event loop for the next popup menu or modal window and hands it to `act`:
// tests reach the boxes that exec() opens this way. Whatever `act` leaves open is closed, so
// that a failed check cannot leave exec() waiting. Stops when the returned timer dies.
std::unique_ptr<QTimer> on_next_window(std::function<void(QWidget*)> act) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(10);
    QTimer* raw = timer.get();
    QObject::connect(raw, &QTimer::timeout, [raw, act] {
        QWidget* window = QApplication::activePopupWidget();
        if (window == nullptr) {
            window = QApplication::activeModalWidget();
        }
        if (window != nullptr) {
            raw->stop();
            const QPointer<QWidget> guard(window);
            act(window);
            if (guard && guard->isVisible()) {
                guard->close();
            }
        }
    });
    timer->start();
    return timer;
}

struct Message {
    QString caption;
    QString text;
};

class InspectorDialog : public ::testing::Test {
  protected:
    InspectorDialog()
        : dialog(
              [this](QWidget*, const QString& caption, const QString& text) {
                  messages.push_back({caption, text});
              },
              [this](QWidget*) { return picks.isEmpty() ? QString() : picks.takeFirst(); }) {
        dialog.show();
    }

    template <typename T>
    T* child(const char* name) {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* path_field() { return child<QLineEdit>("pathEdit"); }
    QPushButton* info() { return child<QPushButton>("infoButton"); }
    QString dimension() { return child<QLabel>("dimensionValue")->text(); }
    QString count() { return child<QLabel>("countValue")->text(); }
    QString position() { return child<QLabel>("positionValue")->text(); }
    QPushButton* previous() { return child<QPushButton>("previousButton"); }
    QPushButton* next() { return child<QPushButton>("nextButton"); }
    CSliceView* view() { return child<CSliceView>("sliceView"); }

    QString slice(const std::string& name, const std::string& bytes) {
        write_file(dir / name, bytes);
        return QString::fromStdString(dir / name);
    }
    void browse_to(const QString& path) {
        picks.append(path);
        QTest::mouseClick(child<QPushButton>("browseButton"), Qt::LeftButton);
    }
    void type_path(const QString& path) {
        // As a user clicks into the field: a focused button would take Enter for itself.
        path_field()->setFocus();
        path_field()->clear();
        QTest::keyClicks(path_field(), path);
    }
    void click_info() { QTest::mouseClick(info(), Qt::LeftButton); }

    ScratchDir dir;
    std::vector<Message> messages;
    QStringList picks;
    CInspectorDialog dialog;
};

TEST_F(InspectorDialog, StartsEmptyWithZerosAndInfoDisabled) {
    EXPECT_EQ(dialog.windowTitle(), "Ferndel");
    EXPECT_TRUE(path_field()->text().isEmpty());
    EXPECT_EQ(child<QPushButton>("browseButton")->text(), "Browse...");
    EXPECT_EQ(child<QPushButton>("exitButton")->text(), "Exit");
    EXPECT_EQ(info()->text(), "Info");
    EXPECT_TRUE(info()->isDefault());
    EXPECT_FALSE(info()->isEnabled());
    EXPECT_EQ(child<QLabel>("dimensionLabel")->text(), "Dimension (pixels):");
    EXPECT_EQ(child<QLabel>("countLabel")->text(), "Black pixels nr.:");
    EXPECT_EQ(dimension(), "0x0");
    EXPECT_EQ(count(), "0");
}

TEST_F(InspectorDialog, OnlyAConfirmedBrowseEnablesInfoAndThenForGood) {
    const QString first = slice("first.pbm", "P4 8 1\n\xFF");
    type_path(first);
    EXPECT_FALSE(info()->isEnabled());
    QTest::keyClick(path_field(), Qt::Key_Return);
    EXPECT_EQ(dimension(), "0x0");

    browse_to(QString());  // cancelled
    EXPECT_EQ(path_field()->text(), first);
    EXPECT_FALSE(info()->isEnabled());

    const QString second = slice("second.pbm", "P4 8 1\n\x0F");
    browse_to(second);
    EXPECT_EQ(path_field()->text(), second);
    EXPECT_TRUE(info()->isEnabled());

    path_field()->selectAll();
    QTest::keyClick(path_field(), Qt::Key_Backspace);
    EXPECT_TRUE(path_field()->text().isEmpty());
    EXPECT_TRUE(info()->isEnabled());
    EXPECT_TRUE(messages.empty());
}

TEST_F(InspectorDialog, InfoAndEnterInspectWhatTheFieldHolds) {
    browse_to(slice("full.pbm", "P4\n8 8\n" + std::string(8, '\xFF')));
    click_info();
    EXPECT_EQ(dimension(), "8x8");
    EXPECT_EQ(count(), "64");

    // A typed path counts as much as a browsed one; Enter in the field is Info.
    type_path(slice("padded.pbm", "P4\n10 3\n" + std::string(6, '\xFF')));
    QTest::keyClick(path_field(), Qt::Key_Return);
    EXPECT_EQ(dimension(), "10x3");
    EXPECT_EQ(count(), "30");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(messages.empty());
}

TEST_F(InspectorDialog, SlicesAreReadAsTheEstimatorReadsThem) {
    struct Case {
        std::string bytes;
        const char* dimension;
        const char* count;
    };
    const Case cases[] = {
        {"P4\n3 10\n" + std::string(10, '\xFF'), "3x10", "30"},  // ten rows of one byte
        {"P4\n# written by hand\n8 2\n\xFF\x01", "8x2", "9"},
        {"P4\n8\n2\n\xFF\x01", "8x2", "9"},
        {"P4\n8\n\n# between\n2\n\x03\x01", "8x2", "3"},
        {"P4 24 1\n\x0D\x0A\x1A", "24x1", "8"},
        {"P4 16 1\n\x0D\x0A", "16x1", "5"},
        {"P4 16 1\n#\n", "16x1", "5"},                 // a comment after the height is raster
        {"P4 8 2\n\xFF\x01\xFF\xFF\xFF", "8x2", "9"},  // bytes after the last row
    };
    browse_to(QString::fromStdString(dir / "none.pbm"));
    for (const Case& c : cases) {
        type_path(slice("case.pbm", c.bytes));
        click_info();
        EXPECT_EQ(dimension(), c.dimension) << c.bytes;
        EXPECT_EQ(count(), c.count) << c.bytes;
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(InspectorDialog, FailuresShowTheirMessageAndKeepTheLastResults) {
    const QString plain = slice("plain.pbm", "P1\n8 1\n11111111\n");
    browse_to(plain);
    click_info();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Ferndel");
    EXPECT_EQ(messages[0].text, "Error reading data from PBM file '" + plain + "'!");
    EXPECT_EQ(dimension(), "0x0");
    EXPECT_EQ(count(), "0");

    type_path(slice("good.pbm", "P4 10 3\n" + std::string(6, '\xFF')));
    click_info();
    EXPECT_EQ(dimension(), "10x3");

    const QString short_raster = slice("short.pbm", "P4 10 3\n" + std::string(5, '\xFF'));
    type_path(short_raster);
    click_info();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Error reading data from PBM file '" + short_raster + "'!");
    EXPECT_EQ(path_field()->text(), short_raster);
    EXPECT_EQ(dimension(), "10x3");
    EXPECT_EQ(count(), "30");

    path_field()->clear();
    click_info();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].caption, "Ferndel");
    EXPECT_EQ(messages[2].text, "Error opening file '' for reading!");
    EXPECT_EQ(dimension(), "10x3");
    EXPECT_EQ(count(), "30");
}

TEST_F(InspectorDialog, NonAsciiPathsReachTheFileAndTheMessage) {
    const QString name = QString::fromUtf8("Schnitt \xC3\xA4\xC3\xB6 \xE2\x82\xAC.pbm");
    const QString path = slice(name.toStdString(), "P4 8 1\n\x07");
    browse_to(path);
    click_info();
    EXPECT_EQ(count(), "3");
    path_field()->setText(path + "x");  // keyClicks types ASCII only
    click_info();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Error opening file '" + path + "x' for reading!");
}

// Pixel (x, y) of a raster as the file lays it out: rows of whole bytes, most significant bit
// first.
bool raster_pixel(const std::string& raster, int width, int x, int y) {
    const auto byte = static_cast<uint8_t>(raster[y * ((width + 7) / 8) + x / 8]);
    return (byte >> (7 - x % 8)) & 1u;
}

// Checks every screen pixel of the picture pane against the slice pixel that the pane says is
// there, and that each slice pixel is on screen at least once.
void expect_pane_shows(CSliceView* view, const std::string& raster, int width, int height) {
    const QImage screen = view->viewport()->grab().toImage();
    std::vector<bool> seen(static_cast<size_t>(width * height), false);
    int wrong = 0;
    for (int v = 0; v < screen.height(); ++v) {
        for (int u = 0; u < screen.width(); ++u) {
            const bool black = screen.pixel(u, v) == qRgb(0, 0, 0);
            const std::optional<QPoint> pixel = view->pixel_at(QPoint(u, v));
            if (!pixel) {
                wrong += black;  // padding or garbage drawn beside the picture
                continue;
            }
            seen[static_cast<size_t>(pixel->y() * width + pixel->x())] = true;
            wrong += black != raster_pixel(raster, width, pixel->x(), pixel->y());
        }
    }
    EXPECT_EQ(wrong, 0) << width << "x" << height << " at zoom " << view->zoom();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), width * height);
}

TEST_F(InspectorDialog, PictureIsTheSliceBitsWithoutPadding) {
    struct Case {
        int width;
        int height;
        std::string raster;
    };
    const Case cases[] = {
        {10, 3, std::string(6, '\xFF')},
        {3, 10, std::string(10, '\xFF')},
        {10, 3, "\xA5\xC0\x3C\x40\x81\x80"},  // rows that do not start on a byte of the plane
    };
    browse_to(QString::fromStdString(dir / "none.pbm"));
    dialog.resize(600, 500);
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    for (const Case& c : cases) {
        type_path(slice("odd.pbm", "P4\n" + std::to_string(c.width) + " " +
                                       std::to_string(c.height) + "\n" + c.raster));
        QTest::keyClick(path_field(), Qt::Key_Return);
        const QImage& picture = view()->picture();
        ASSERT_EQ(picture.size(), QSize(c.width, c.height));
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                EXPECT_EQ(picture.pixel(x, y) == qRgb(0, 0, 0),
                          raster_pixel(c.raster, c.width, x, y))
                    << x << "," << y;
            }
        }
        EXPECT_GT(view()->zoom(), 1);  // fitted to the pane
        expect_pane_shows(view(), c.raster, c.width, c.height);
        QTest::keyClick(&dialog, Qt::Key_0, Qt::ControlModifier);
        EXPECT_EQ(view()->zoom(), 1);
        expect_pane_shows(view(), c.raster, c.width, c.height);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(InspectorDialog, StatusLineNamesThePixelUnderTheMouse) {
    browse_to(slice("cross.pbm", std::string("P4 3 3\n") + "\x40\xE0\x40"));
    click_info();
    QWidget* pane = view()->viewport();
    const auto centre_of = [&](int x, int y) {
        for (int v = 0; v < pane->height(); ++v) {
            for (int u = 0; u < pane->width(); ++u) {
                if (view()->pixel_at(QPoint(u, v)) == QPoint(x, y)) {
                    return QPoint(u + static_cast<int>(view()->zoom() / 2),
                                  v + static_cast<int>(view()->zoom() / 2));
                }
            }
        }
        return QPoint(-1, -1);
    };
    QTest::mouseMove(pane, centre_of(1, 2));
    EXPECT_EQ(child<QLabel>("pixelStatus")->text(), "x 1, y 2: 1 (black)");
    QTest::mouseMove(pane, centre_of(2, 2));
    EXPECT_EQ(child<QLabel>("pixelStatus")->text(), "x 2, y 2: 0 (white)");
    QTest::mouseMove(pane, QPoint(1, 1));  // beside the picture; (0, 0) means the centre
    EXPECT_EQ(child<QLabel>("pixelStatus")->text(), "");
}

TEST_F(InspectorDialog, PreviousAndNextFollowTheEstimatorsOrderAndStopAtTheEnds) {
    // Loaded by talvik as B, a, b, c: upper case sorts first, only lower-case ".pbm" counts.
    slice("b.pbm", "P4 8 1\n\x01");
    const QString a = slice("a.pbm", "P4 8 2\n\x01\x01");
    const QString upper_b = slice("B.pbm", "P4 8 3\n\x01\x01\x01");
    slice("c.PBM", "P4 8 4\n\x01\x01\x01\x01");
    slice("a.pbm.bak", "P4 8 6\n\x01\x01\x01\x01\x01\x01");
    const QString c = slice("c.pbm", "P4 8 5\n\x01\x01\x01\x01\x01");
    EXPECT_FALSE(previous()->isEnabled());
    EXPECT_FALSE(next()->isEnabled());
    browse_to(QString::fromStdString(dir / "missing.pbm"));
    click_info();
    EXPECT_FALSE(previous()->isEnabled());
    EXPECT_FALSE(next()->isEnabled());

    type_path(a);
    click_info();
    EXPECT_EQ(position(), "slice 2 of 4");
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(&dialog, Qt::Key_PageDown);
        seen << dimension() + " " + position();
    }
    EXPECT_EQ(seen, QStringList({"8x1 slice 3 of 4", "8x5 slice 4 of 4", "8x5 slice 4 of 4"}));
    EXPECT_EQ(path_field()->text(), c);
    EXPECT_FALSE(next()->isEnabled());
    EXPECT_TRUE(previous()->isEnabled());

    seen.clear();
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(&dialog, Qt::Key_PageUp);
        seen << dimension() + " " + position();
    }
    EXPECT_EQ(seen, QStringList({"8x1 slice 3 of 4", "8x2 slice 2 of 4", "8x3 slice 1 of 4",
                                 "8x3 slice 1 of 4"}));
    EXPECT_EQ(path_field()->text(), upper_b);
    EXPECT_FALSE(previous()->isEnabled());
    EXPECT_EQ(messages.size(), 1u);  // the missing file only

    // A broken slice is reported, keeps the last picture, and can be stepped over.
    slice("a.pbm", "P1 8 2\n");
    QTest::mouseClick(next(), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Error reading data from PBM file '" + a + "'!");
    EXPECT_EQ(dimension(), "8x3");
    EXPECT_EQ(view()->picture().height(), 3);
    QTest::mouseClick(next(), Qt::LeftButton);
    EXPECT_EQ(dimension() + " " + position(), "8x1 slice 3 of 4");
}

// Stepping onto a broken slice keeps the last results but says whose they are, and every try
// at the broken slice shows its error; stepping past it shows the next slice's own results.
TEST_F(InspectorDialog, KeptResultsNameTheirFileAndEveryReadOfABrokenSliceIsReported) {
    const QString a = slice("a.pbm", "P4 20 10\n" + std::string(30, '\xFF'));
    slice("b.pbm", "P4 20 10\n" + std::string(30, '\x0F'));
    const QString c = slice("c.pbm", "P4 20 10\n" + std::string(29, '\x00'));
    QLabel* note = child<QLabel>("keptNote");
    browse_to(a);
    click_info();
    QTest::mouseClick(next(), Qt::LeftButton);
    EXPECT_FALSE(note->isVisible());
    QTest::mouseClick(next(), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Error reading data from PBM file '" + c + "'!");
    EXPECT_EQ(path_field()->text(), c);
    EXPECT_EQ(position(), "slice 3 of 3");
    EXPECT_EQ(count(), "80");  // b's, and named so
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(),
              "c.pbm could not be read: the numbers and the picture are those of b.pbm.");
    click_info();
    QTest::keyClick(path_field(), Qt::Key_Return);
    EXPECT_EQ(messages.size(), 3u);
    EXPECT_TRUE(note->isVisible());
    QTest::mouseClick(previous(), Qt::LeftButton);
    EXPECT_EQ(count(), "80");
    EXPECT_FALSE(note->isVisible());

    // Previous over a broken first slice, then back past it.
    slice("a.pbm", "P4 20 10\n");
    slice("c.pbm", "P4 20 10\n" + std::string(30, '\xFF'));
    QTest::mouseClick(previous(), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(position(), "slice 1 of 3");
    EXPECT_EQ(note->text(),
              "a.pbm could not be read: the numbers and the picture are those of b.pbm.");
    QTest::mouseClick(next(), Qt::LeftButton);
    QTest::mouseClick(next(), Qt::LeftButton);
    EXPECT_EQ(count(), "200");
    EXPECT_EQ(position(), "slice 3 of 3");
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(messages.size(), 4u);
}

TEST_F(InspectorDialog, FileGivenAtStartIsInspectedAsIfPickedWithBrowse) {
    slice("given.pbm", "P4 10 3\n" + std::string(6, '\xFF'));
    const QString was = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path().string())));
    dialog.open_slice("given.pbm");
    QDir::setCurrent(was);
    EXPECT_EQ(path_field()->text(), QString::fromStdString(dir / "given.pbm"));
    EXPECT_EQ(dimension(), "10x3");
    EXPECT_EQ(count(), "30");
    EXPECT_EQ(child<QLabel>("fractionValue")->text(), "(100 %)");
    EXPECT_TRUE(info()->isEnabled());
    EXPECT_EQ(position(), "slice 1 of 1");
    EXPECT_TRUE(messages.empty());
}

TEST_F(InspectorDialog, ExitEscapeAndTheCloseBoxEndTheDialog) {
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::mouseClick(child<QPushButton>("exitButton"), Qt::LeftButton);
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_FALSE(dialog.isVisible());

    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 2);
    EXPECT_FALSE(dialog.isVisible());

    dialog.show();
    dialog.close();
    EXPECT_EQ(rejected.count(), 3);
}

TEST_F(InspectorDialog, ContextMenuOpensTheAboutBox) {
    QString menu_items;
    QString about_title;
    QString about_text;
    bool about_has_icon = false;
    std::unique_ptr<QTimer> about_watch;
    const auto menu_watch = on_next_window([&](QWidget* window) {
        auto* menu = qobject_cast<QMenu*>(window);
        ASSERT_NE(menu, nullptr);
        for (const QAction* action : menu->actions()) {
            menu_items += action->text() + ";";
        }
        about_watch = on_next_window([&](QWidget* about) {
            about_title = about->windowTitle();
            for (const QLabel* label : about->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    about_text += label->text();
                }
                about_has_icon = about_has_icon || !label->pixmap().isNull();
            }
            auto* ok = about->findChild<QPushButton*>();
            ASSERT_NE(ok, nullptr);
            EXPECT_EQ(ok->text(), "OK");
            EXPECT_TRUE(ok->isDefault());
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    // A right click on a label reaches the dialog's menu.
    QLabel* label = child<QLabel>("countLabel");
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                            label->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(label, &event);
    EXPECT_EQ(menu_items, "&About Ferndel...;");
    EXPECT_EQ(about_title, "About Ferndel");
    EXPECT_EQ(about_text, "Ferndel Version 1.0");
    EXPECT_TRUE(about_has_icon);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(InspectorDialog, WindowIconComesFromTheResource) {
    if (!QImageReader::supportedImageFormats().contains("svg")) {
        GTEST_SKIP() << "Qt's SVG plugin is not installed";
    }
    EXPECT_FALSE(dialog.windowIcon().pixmap(32, 32).isNull());
}

class DefaultServices : public ::testing::Test {};

TEST_F(DefaultServices, MessageBoxIsPlainTextWithOnlyOk) {
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::StandardButtons buttons;
    const auto watch = on_next_window([&](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        buttons = box->standardButtons();
        QTest::keyClick(box, Qt::Key_Return);
    });
    show_message_box(nullptr, "Ferndel", "Error opening file '<b>x</b>' for reading!");
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(title, "Ferndel");
    EXPECT_EQ(text, "Error opening file '<b>x</b>' for reading!");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(buttons, QMessageBox::Ok);
}

TEST_F(DefaultServices, PickerOffersPbmFilesAndReturnsTheFullPath) {
    ScratchDir dir;
    write_file(dir / "a.pbm", "P4 8 1\n\xFF");
    const QString wanted = QString::fromStdString(dir / "a.pbm");
    QStringList filters;
    const auto confirm = on_next_window([&](QWidget* window) {
        auto* picker = qobject_cast<QFileDialog*>(window);
        ASSERT_NE(picker, nullptr);
        filters = picker->nameFilters();
        EXPECT_EQ(picker->fileMode(), QFileDialog::ExistingFile);
        picker->setDirectory(QString::fromStdString(dir.path().string()));
        picker->selectFile("a.pbm");
        static_cast<QDialog*>(picker)->accept();  // QFileDialog::accept, as Open does
    });
    EXPECT_EQ(pick_slice_file(nullptr), wanted);
    EXPECT_EQ(filters, QStringList{"PBM Files (*.pbm)"});

    const auto cancel =
        on_next_window([](QWidget* window) { QTest::keyClick(window, Qt::Key_Escape); });
    EXPECT_TRUE(pick_slice_file(nullptr).isEmpty());
}

}  // namespace
}  // namespace ferndel
