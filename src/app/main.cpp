#include "ui/app_shell/vellumark_app.h"

int main(int argc, char** argv) {
    return vellumark::VellumarkApp::run(argc, argv);
}
