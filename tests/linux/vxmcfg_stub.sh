#!/bin/sh
# The configuration application's stand-in for vxmmon's tests: says that it
# started, and runs a while as a real one would.
echo started >> "$XDG_CONFIG_HOME/vxmcfg-started"
sleep 5
