% Writes octave_written.mat: a MAT file made by another program, read back by
% the MAT file tests to check that such files load with every kind intact.
% Made with GNU Octave 7.3.0 on 2026-12-08:
%   octave --no-gui --eval "run('make_octave_written.m')"
% (run from this folder). Keep the values in step with matfile_test.cpp.
s = struct();
s.name = 'Tarvio';
s.rate = 5.5;
s.row = [1 2 3];
s.matrix = [1 2 3; 4 5 6];
s.iq = [1+2i, -3.5-0.25i, 0+1i];
s.count = int32([7 -8 2147483647]);
s.flags = logical([1 0 1 1]);
s.nothing = [];
s.blank = '';
s.inner = struct('alpha', 1, 'beta', struct('gamma', 'deep', 'delta', [0.5; 0.25]));
s.items = {1, 'two', [3 4], {}};
mixed = {int32(5), 'x'};
answer = 42;
save('-v7', 'octave_written.mat', 's', 'mixed', 'answer');
