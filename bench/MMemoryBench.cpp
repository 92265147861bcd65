// Resident memory of one stereo instance of the built module, as a host sees it: the module is
// loaded through the VST 2.4 entry, one instance is made and run first (the library's one-time
// state), then twenty more are made, activated at the rate and each run for one block of 512
// samples. The growth of the process's resident set divided by twenty is printed as
//   memory stereo_instance_kib=<KiB> rate_hz=<rate>
// for 44.1 and 48 kHz. The figure includes everything an instance touches (plug-in, effect,
// correctors, buffers), not the module's code or its shared one-time state.

#include "tools/host/MTestHostVst2.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace
{
constexpr int kInstances = 20;
constexpr int kBlock = 512;

long ResidentKib()
{
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * 4; // 4 KiB pages
}

bool StartInstance(MTestHostVst2& host, double rate)
{
  if (host.LoadModule(TONVERA_MODULE) != MTestHostStatus::Ok || !host.Activate(rate, kBlock))
    return false;
  std::vector<float> left(kBlock, 0.1f), right(kBlock, -0.1f), outLeft(kBlock), outRight(kBlock);
  float* inputs[2] = {left.data(), right.data()};
  float* outputs[2] = {outLeft.data(), outRight.data()};
  return host.Process(inputs, outputs, kBlock);
}

// One rate in a process of its own: memory freed by the instances of another rate would be
// reused and hide part of the growth.
int Measure(double rate)
{
  std::vector<std::unique_ptr<MTestHostVst2>> hosts;
  hosts.reserve(kInstances + 1);
  hosts.push_back(std::make_unique<MTestHostVst2>());
  if (!StartInstance(*hosts.back(), rate))
  {
    std::fprintf(stderr, "tonvera-bench-memory: cannot run %s\n", TONVERA_MODULE);
    return 1;
  }
  const long before = ResidentKib();
  for (int i = 0; i < kInstances; ++i)
  {
    hosts.push_back(std::make_unique<MTestHostVst2>());
    if (!StartInstance(*hosts.back(), rate))
      return 1;
  }
  std::printf("memory stereo_instance_kib=%ld rate_hz=%.0f\n", (ResidentKib() - before) / kInstances, rate);
  return 0;
}
} // namespace

int main()
{
  int status = 0;
  for (const double rate : {44100.0, 48000.0})
  {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0)
    {
      const int result = Measure(rate);
      std::fflush(stdout);
      std::_Exit(result); // the instances die with the process
    }
    int childStatus = 1;
    if (child < 0 || waitpid(child, &childStatus, 0) != child || !WIFEXITED(childStatus) ||
        WEXITSTATUS(childStatus) != 0)
      status = 1;
  }
  return status;
}
