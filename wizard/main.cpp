// tabellix: the wizard that turns one worksheet into a MySQL table.
#include "wizard/tabellix.h"

int main(int argc, char** argv) {
    return tabellix::RunTabellix(argc, argv);
}
