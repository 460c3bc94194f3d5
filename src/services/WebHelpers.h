#pragma once

#include <QString>

// What stands between "<tag>" at the very start of `line` and "</tag>" at its
// very end, the tag taken in lower case; the empty text when the line is not
// exactly one such element.
QString ExtractTagValue(const QString& line, const QString& tag);

// The vendor web server's host: the build setting, unless the environment
// variable KORVANE_VENDOR_HOST names another (a test or staging server).
QString VendorHost();

// True only for an absolute http or https URL with a host: the only kind of
// address from the network that may be handed to the desktop to open.
bool IsWebAddress(const QString& address);

// True for an https address on `vendorHost` (a host name, perhaps with a
// port) or on a subdomain of it, without user information: an address a
// browser verifies as the vendor's, whoever named it. Look-alikes such as
// "www.quiblex.com.evil.example" or "https://www.quiblex.com@evil.example/"
// are not the vendor's.
bool IsVendorAddress(const QString& address, const QString& vendorHost);

// The vendor's download page: "https://" + `vendorHost` + "/".
QString VendorDownloadPage(const QString& vendorHost);

// Where the new-version notice leads. The server's address when the answer
// that gave it came over https, or when it is the vendor's own
// (IsVendorAddress): an answer over plain http may come from anyone on the
// path. Otherwise the vendor's download page; an empty or non-web address
// leads to `homePage`.
QString NoticeAddress(const QString& downloadUrl, bool fromHttpsAnswer, const QString& vendorHost,
                      const QString& homePage);
