// The simulated scanner device, built as libzel_scan_2000.so.
