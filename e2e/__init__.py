"""End-to-end tests of the cross-built program under Wine."""
