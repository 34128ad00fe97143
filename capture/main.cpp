// ringfield-capture's entry: options, inputs and outputs are checked before
// anything is written, then the capture runs.
#include "capture/files.h"
#include "capture/files_system.h"
#include "capture/inputs.h"
#include "capture/options.h"
#include "capture/run.h"

int main(int argc, char** argv) {
    ignore_file_size_signal();
    CaptureSettings settings;
    Text problem;
    const int parsed = parse_options(argc, argv, settings, problem);
    if (parsed == 1) return 0;
    const bool ready =
        parsed == 0 && load_script(settings, problem) && (settings.print_inputs || prepare_capture(settings, problem));
    if (!ready) {
        say("%s", problem.text);
        return 2;
    }
    return settings.print_inputs ? print_inputs(settings) : run_capture(settings);
}
