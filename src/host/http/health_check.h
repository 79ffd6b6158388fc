// The answer to a load balancer's health probe: 200 "ok" when the host can serve pages that
// create components and write data, 503 with one line saying why not otherwise. It looks at the
// registration store (it must exist and load) and the data folder (a file can be made in it).
#pragma once

#include <filesystem>

#include "host/http/reply.h"

namespace mirelda::host {

Reply HealthReply(const std::filesystem::path& registry, const std::filesystem::path& data);

}  // namespace mirelda::host
