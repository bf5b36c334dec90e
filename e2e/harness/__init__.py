"""End-to-end harness: the cross-built program under Wine, driven like a user would, with its
packages served from a loopback server."""
