#include "textio/text_services.h"

#include "textio/answer_input.h"
#include "textio/channels.h"
#include "textio/console_output.h"
#include "textio/key_reader.h"
#include "textio/number_text.h"

namespace pelorin::textio {

void reset_services() {
    (void)results_file_close(CONSOLE_CHANNEL);  // closes every file channel
    clear_channel_table();
    ConsoleDeviceOps = DeviceOps{};
    reset_console_state();
    reset_input_context();
    reset_pattern_state();
    reset_key_reader();
}

}  // namespace pelorin::textio
