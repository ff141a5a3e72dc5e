#include "app/forms/controls.h"
#include "shell/forms/dbnavigator.h"
#include "shell/forms/tmain.h"
#include "viewer/forms/viewergrid.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

// The main window's controls at their design places: the bevels, the
// lettered and speed buttons, the labels, the navigator and the grid.
namespace shelvix::shell {

namespace {

QFont arial(int pixelHeight, bool bold = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    return f;
}

} // namespace

void TMain::buildControls() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    client_->setFont(arial(17));
    client_->installEventFilter(this);
    setCentralWidget(client_);
    resize(kClientDesignWidth, kClientDesignHeight);

    const auto bevel = [this](const char* name, int left, int top, int width, int height) {
        auto* f = new QFrame(client_);
        f->setObjectName(QString::fromLatin1(name));
        f->setFrameStyle(QFrame::Panel | QFrame::Raised);
        f->setGeometry(left, top, width, height);
        return f;
    };
    bevels_[0] = bevel("Bevel1", 4, 4, 149, 77);
    bevels_[1] = bevel("Bevel3", 156, 4, 77, 77);
    bevels_[2] = bevel("Bevel2", 236, 4, 77, 77);
    bevels_[3] = bevel("Bevel4", 316, 4, 77, 77);
    viewerBevel_ = bevel("ViewerBevel", 4, 88, 625, 329);

    struct ButtonSpec {
        const char* name;
        const char* text;
        int left;
        int top;
        Cmd command;
    };
    static constexpr ButtonSpec kButtons[] = {
        {"AddButton", "&Add", 8, 8, Cmd::Add},
        {"EditButton", "&Edit", 8, 44, Cmd::Edit},
        {"CopyButton", "&Copy", 80, 8, Cmd::Copy},
        {"DeleteButton", "&Delete", 80, 44, Cmd::Delete},
        {"SearchButton", "&Search", 160, 8, Cmd::Search},
        {"EndSearchButton", "E&nd Srch", 160, 44, Cmd::EndSearch},
        {"ReportButton", "&Reports", 240, 8, Cmd::Reports},
        {"ViewerButton", "&Viewer", 240, 44, Cmd::Viewer},
        {"HelpButton", "He&lp", 320, 8, Cmd::Help},
        {"ButtonExit", "E&xit", 320, 44, Cmd::Exit},
    };
    for (const ButtonSpec& def : kButtons) {
        auto* b = new QPushButton(QString::fromLatin1(def.text), client_);
        b->setObjectName(QString::fromLatin1(def.name));
        b->setGeometry(def.left, def.top, 69, 33);
        b->setAutoDefault(false);
        commands_.button(b, def.command, true);
        lettered_.push_back(b);
    }
    endSearchButton_ = lettered_[5];
    endSearchButton_->setFont(arial(15));

    speedPanel_ = new QFrame(client_);
    speedPanel_->setObjectName(QStringLiteral("SpeedPanel"));
    speedPanel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    speedPanel_->setGeometry(0, 0, kClientDesignWidth, 31);
    buildSpeedButtons();

    viewerLabel_ = new QLabel(QStringLiteral("Book Viewer"), client_);
    viewerLabel_->setObjectName(QStringLiteral("ViewerLabel"));
    viewerLabel_->setFont(arial(23, true));
    viewerLabel_->setAlignment(Qt::AlignCenter);
    viewerLabel_->setGeometry(220, 92, kViewerLabelWidth, kViewerLabelHeight);

    searchOnLabel_ = new QLabel(QStringLiteral("SEARCH ON"), client_);
    searchOnLabel_->setObjectName(QStringLiteral("SearchOnLabel"));
    searchOnLabel_->setFont(arial(18, true));
    searchOnLabel_->setTextFormat(Qt::PlainText);
    searchOnLabel_->move(12, 96);
    searchOnLabel_->adjustSize();
    searchOnLabel_->hide();

    countLabel_ = new QLabel(QStringLiteral("0"), client_);
    countLabel_->setObjectName(QStringLiteral("CountLabel"));
    count2Label_ = new QLabel(QStringLiteral("Books"), client_);
    count2Label_->setObjectName(QStringLiteral("Count2Label"));
    for (QLabel* l : {countLabel_, count2Label_}) {
        l->setFont(arial(13));
        l->setAlignment(Qt::AlignCenter);
    }
    countLabel_->setGeometry(140, 90, 57, 15);
    count2Label_->setGeometry(140, 104, 57, 15);

    navigatorLabel_ = new QLabel(QStringLiteral("Navigation Controls"), client_);
    navigatorLabel_->setObjectName(QStringLiteral("NavigatorLabel"));
    navigatorLabel_->setAlignment(Qt::AlignCenter);
    navigatorLabel_->setGeometry(420, 40, 189, 21);

    navigator_ = new DBNavigator(*ctx_.prompter, client_);
    navigator_->setObjectName(QStringLiteral("MyNavigator"));
    navigator_->setGeometry(424, 92, 200, kNavigatorHeight);
    connect(navigator_, &DBNavigator::clicked, this, [this] { DisplayCount(); });

    BuildViewerGrid();
    viewerGrid_->setGeometry(4, 120, 617, 293);
    // The frame goes to the back; everything else sits on it.
    viewerBevel_->lower();
    speedPanel_->raise();
    navigator_->raise();
}

void TMain::buildSpeedButtons() {
    struct SpeedSpec {
        const char* name;
        int left;
        const char* icon;
        const char* hint;
        Cmd command;
    };
    static constexpr SpeedSpec kSpeeds[] = {
        {"NewSpeed", 0, "new", "New Database", Cmd::New},
        {"OpenSpeed", 24, "open", "Open Database", Cmd::Open},
        {"AddSpeed", 52, "add", "Add Record", Cmd::Add},
        {"EditSpeed", 76, "edit", "Edit Record", Cmd::Edit},
        {"CopySpeed", 100, "copy", "Copy Record", Cmd::Copy},
        {"DeleteSpeed", 124, "delete", "Delete Record", Cmd::Delete},
        {"ImportSpeed", 148, "import", "Import Records", Cmd::Import},
        {"ExportSpeed", 172, "export", "Export Records", Cmd::Export},
        {"SearchSpeed", 200, "search", "Search Records", Cmd::Search},
        {"EndSearchSpeed", 224, "endsearch", "End Search", Cmd::EndSearch},
        {"LocateSpeed", 248, "locate", "Locate Record", Cmd::Find},
        {"LocateNextSpeed", 272, "locatenext", "Locate Next Record", Cmd::FindNext},
        {"ReportSpeed", 296, "reports", "Reports", Cmd::Reports},
        {"ViewerSpeed", 320, "viewer", "Viewer Configuration", Cmd::Viewer},
        {"ColorSpeed", 344, "color", "Color Setup", Cmd::Colors},
        {"SpeedSetOrder", 368, "sortorder", "Set Sorting Order", Cmd::SortOrder},
        {"HelpSpeed", 396, "help", "Help", Cmd::Help},
    };
    for (const SpeedSpec& def : kSpeeds) {
        auto* b = new QToolButton(speedPanel_);
        b->setObjectName(QString::fromLatin1(def.name));
        b->setGeometry(def.left, 2, 25, 25);
        b->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(def.icon))));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(QString::fromLatin1(def.hint));
        b->setFocusPolicy(Qt::NoFocus);
        commands_.button(b, def.command, false);
        speedButtons_.push_back(b);
    }
    endSearchSpeed_ = speedButtons_[9];
}

} // namespace shelvix::shell
