// SPDX-License-Identifier: GPL-3.0-or-later
// fetch_probe <module> <url> <caFile>: one HttpGet through the given fetch
// module, with whatever proxy settings its environment holds, printed as
// "<FetchStatus> <httpStatus> <body size>". HttpGetTest runs it under
// chosen environments, which a test cannot safely change in-process while
// its servers' threads run.
#include "update/HttpGet.h"

#include <chrono>
#include <cstdio>

int main(int argc, char **argv)
{
    using namespace std::chrono_literals;
    if (argc != 4)
        return 2;
    tallyvox::update::SetFetchModulePath(argv[1]);
    tallyvox::update::FetchLimits limits;
    limits.timeout = 3s;
    limits.caFile = argv[3];
    auto result = tallyvox::update::HttpGet(argv[2], limits);
    std::printf("%d %d %zu\n", static_cast<int>(result.status), result.httpStatus, result.body.size());
    return 0;
}
