"""The download benchmark of the program under Wine: see bench/run.sh."""
