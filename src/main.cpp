#include "driver/program.h"
#include "platform/host.h"

int main(int argc, char** argv) {
  auto host = zq::platform::CreateHost(argc, argv);
  return zq::driver::RunProgram(host->Get());
}
