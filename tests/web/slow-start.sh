#!/bin/sh
# A browser that takes three seconds to start: tests/web/browser.js runs this
# in place of the browser when RINGFIELD_WEB_FAULT=slow-start, so that
# closes.test.js can stop a run while its browser is still starting.
sleep 3
exec "$RINGFIELD_BROWSER" "$@"
