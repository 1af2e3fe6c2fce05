#include "sites/fleet_jobs.h"

namespace tavrin {

int open_job(amp_connection&, const std::string&, job_report&, bool, std::string& line, uint32_t) {
    line = "not yet";
    return job_code::no_answer;
}

amp_result load_preset_job(amp_connection&, const std::string& name, const param_block&,
                           job_report&) {
    return {name, job_code::no_answer, {name + ": not yet"}, {}};
}

amp_result firmware_job(amp_connection&, const std::string& name,
                        const std::shared_ptr<const firmware_image>&, job_report&,
                        const firmware_job_options&) {
    return {name, job_code::update_failed, {name + ": not yet"}, {}};
}

}  // namespace tavrin
