#include "app/startup.h"

int main(int argc, char* argv[]) {
    return startParlona(argc, argv);
}
