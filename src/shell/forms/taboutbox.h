#pragma once

#include <QDialog>

namespace shelvix::app {
struct AppContext;
} // namespace shelvix::app

namespace shelvix::shell {

// The product, its version from the build, and the data directory in use.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(const app::AppContext& context, QWidget* parent = nullptr);
};

} // namespace shelvix::shell
