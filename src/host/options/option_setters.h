// The values of host options that have a shape of their own: addresses, drives, headers, error
// pages, proxies, URL paths.
#pragma once

#include "host/options/host_options.h"
#include "host/options/option_values.h"

namespace mirelda::host {

void SetListen(const OptionValue& v, HostOptions& o);        // ADDRESS:PORT, [IPv6]:PORT
void SetDrive(const OptionValue& v, HostOptions& o);         // X:=FOLDER
void SetSiteDrive(const OptionValue& v, HostOptions& o);     // X or X:
void SetHeader(const OptionValue& v, HostOptions& o);        // NAME:VALUE, "NAME:" drops it
void SetErrorPage(const OptionValue& v, HostOptions& o);     // STATUS=URLPATH
void SetTrustedProxy(const OptionValue& v, HostOptions& o);  // ADDR[/PREFIX]
void SetHealthPath(const OptionValue& v, HostOptions& o);    // /PATH, or empty for none

}  // namespace mirelda::host
